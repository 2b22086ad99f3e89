#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace snapkin {

// Web and e-mail addresses in recognised text: what the text copier offers as a link and what
// Selectable Text lets the user open.
namespace links {

// `text` as a web link: an http or https URL with a host, surrounding blanks ignored; nullopt
// for anything else.
std::optional<QUrl> webURL(const QString& text);

// The link one recognised word stands for, once the punctuation a sentence puts around it is
// set aside: a web link as webURL() takes it, an address starting "www." (opened over http),
// or an e-mail address (as a "mailto:" link). Bare host names ("main.cpp", "notes.txt") are
// not links: recognised code and file names are full of them.
std::optional<QUrl> inWord(const QString& word);

} // namespace links
} // namespace snapkin

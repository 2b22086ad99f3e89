#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <QStringList>

#include <expected>

namespace snapkin::platform {

// Reads the X11 clipboard (the CLIPBOARD selection) from its owner over a private connection,
// asking only for what is needed: the owner's list of targets once, then the one format that
// will be read. Every wait is bounded by one deadline for the whole transfer, so an owner that
// has stopped answering costs that much and no more. The calls block: run them off the GUI
// thread.
//
// Qt's own clipboard asks the owner for every image format it knows, each with a timeout of
// its own, on the GUI thread; this class is what reading an image from the clipboard uses
// instead on X11.
class ClipboardTransfer {
public:
    enum class Error {
        noX11,    // no X server to talk to
        noOwner,  // nobody holds the clipboard
        noFormat, // the owner offers none of the formats asked for, or refused to convert
        timedOut, // the owner did not answer before the deadline
        tooLarge, // the data is larger than allowed
    };

    struct Data {
        QString format; // the target that was read, "image/png"
        QByteArray bytes;
    };

    // The targets the owner offers (MIME types and the X11 names such as "TARGETS").
    static std::expected<QStringList, Error> targets(QDeadlineTimer deadline);
    // The first of `formats` that the owner offers, read whole (also through the incremental
    // protocol large transfers use), at most `maxBytes`.
    static std::expected<Data, Error> read(const QStringList& formats, QDeadlineTimer deadline,
                                           qint64 maxBytes);
};

} // namespace snapkin::platform

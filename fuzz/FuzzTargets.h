#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>

// Entry points for the readers of untrusted input, each taking one input of arbitrary bytes.
// libFuzzer drives them in the fuzzing build (-DSNAPKIN_FUZZ=ON); the test suite replays the
// seed corpora in fuzz/corpus/<name>/ through them. Each aborts on a broken invariant, so a
// fault shows as a crash under either driver.
namespace snapkin::fuzz {

// Called once before any input: an application object (a GUI one, drawing offscreen, as the
// renderer needs fonts), and the one-time set-up of Qt's image plugins and caches, so that what
// libFuzzer sees per input is the reader's own work.
void initialize();

// AnnotationDocument::decode under a small budget, then the encoding of what it decoded and a
// second decoding.
void document(const QByteArray& data);
// A document decoded as document() decodes it (with room for a few thousand pen points), then
// flattened as snapkin-render flattens one: every annotation through the renderer, with its
// frame, shadow and watermark, over a small picture of the document's point size. A finished
// picture over renderMaxPixels is drawn without its frame, or not at all.
void render(const QByteArray& data);
inline constexpr qint64 renderMaxPixels = 1024 * 1024;
// A package on disk: the input is "document.json", then packageSeparator, then "image.png"
// (without the separator there is no image entry); SnapkinDocument::read() of that folder.
void package(const QByteArray& data);
inline constexpr char packageSeparator[] = "\n--snapkin-package-image--\n";
// SavedStyles::decode, then encode and decode again.
void styles(const QByteArray& data);
// A settings file loaded by platform::Defaults, then every stored value read back by type.
void settings(const QByteArray& data);
// platform::readImage of the bytes under small limits (4 megapixels, 64 MB), so that any
// decoder buffer beyond the limits stands out to the fuzzer's allocation limit; then
// ImageBudget::accept of the image, which converts it for an editor as the application does.
// A PNG that the direct decoder takes is also read by Qt's reader, which must give the same;
// any PNG read has the pixels libpng's own transformations give it (PngReference.h).
void image(const QByteArray& data);

// Sets the CRC of every whole chunk of a PNG at the start of `data`, or after a package's
// separator, to what its type and data make it.
void repairPngChecksums(std::uint8_t* data, std::size_t size);

// The names above, for the drivers.
using Target = void (*)(const QByteArray&);
Target targetNamed(const char* name);

} // namespace snapkin::fuzz

#include "output/FrameSettings.h"

#include "platform/AppPaths.h"
#include "platform/AtomicWrite.h"
#include "platform/ImageReader.h"
#include "platform/PngEncoder.h"
#include "platform/SrgbConversion.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QStandardPaths>

namespace snapkin {

namespace {

std::optional<QJsonValue> parsedJson(const QByteArray& data)
{
    if (data.isEmpty()) return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    return QJsonValue(document.object());
}

QByteArray compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<QByteArray> readLogoFile()
{
    const auto path = FrameSettings::logoPath();
    if (!path) return std::nullopt;
    QFile file(*path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > FrameSettings::maxLogoFileBytes)
        return std::nullopt;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return std::nullopt;
    return bytes;
}

} // namespace

FrameSettings::NewCapture FrameSettings::forNewCapture(const platform::Defaults& settings)
{
    NewCapture result;
    if (!settings.get(keys::frameApplyAlways)) return result;
    if (settings.get(keys::frameLastOn)) result.frame = rememberedFrame(settings);
    if (settings.get(keys::watermarkLastOn)) {
        Watermark watermark = rememberedWatermark(settings);
        if (watermark.isVisible()) result.watermark = std::move(watermark);
    }
    return result;
}

FrameStyle FrameSettings::rememberedFrame(const platform::Defaults& settings)
{
    if (const auto json = parsedJson(settings.get(keys::frameStyle))) {
        if (auto frame = FrameStyle::fromJson(*json)) return *frame;
    }
    return FrameStyle{};
}

Watermark FrameSettings::rememberedWatermark(const platform::Defaults& settings)
{
    Watermark watermark;
    if (const auto json = parsedJson(settings.get(keys::watermarkStyle))) {
        if (auto decoded = Watermark::fromJson(*json)) watermark = *decoded;
    }
    // The logo lives only in its file; bytes that stored data may carry are not trusted.
    watermark.imageData = readLogoFile();
    return watermark;
}

void FrameSettings::remember(const std::optional<FrameStyle>& frame, platform::Defaults& settings)
{
    settings.set(keys::frameLastOn, frame.has_value());
    if (!frame) return;
    if (const auto json = frame->toJson()) settings.set(keys::frameStyle, compact(*json));
}

void FrameSettings::remember(const std::optional<Watermark>& watermark,
                             platform::Defaults& settings)
{
    settings.set(keys::watermarkLastOn, watermark.has_value());
    if (!watermark) return;
    Watermark stored = *watermark;
    stored.imageData.reset();
    if (const auto json = stored.toJson()) settings.set(keys::watermarkStyle, compact(*json));
}

std::optional<QString> FrameSettings::logoPath()
{
    if (QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).isEmpty())
        return std::nullopt;
    return platform::AppPaths::dataDir() + QStringLiteral("/Watermark/logo.png");
}

std::expected<QByteArray, FrameSettings::LogoError> FrameSettings::importLogo(const QString& path)
{
    // Decoded reduced, so a photo of any size becomes a logo without taking its full size in
    // memory; the reader applies the orientation tag, so the copy stands upright.
    platform::ImageReadLimits limits;
    limits.maxSide = maxLogoSide;
    auto decoded = platform::readImage(path, limits);
    if (!decoded || decoded->isNull()) return std::unexpected(LogoError::unreadable);
    QImage logo = std::move(*decoded);
    if (!platform::convertToSrgb(logo)) return std::unexpected(LogoError::unreadable);
    logo.setDevicePixelRatio(1.0);
    const auto png = platform::PngEncoder::encode(logo);
    if (!png) return std::unexpected(LogoError::unreadable);

    const auto target = logoPath();
    if (!target) return *png;
    if (!platform::makePrivateFolder(QFileInfo(*target).absolutePath()))
        return std::unexpected(LogoError::cannotCreateFolder);
    if (!platform::writeFileAtomically(*target, *png, platform::FileAccess::userOnly))
        return std::unexpected(LogoError::writeFailed);
    return *png;
}

} // namespace snapkin

#include "workspace/picture/SnapshotFiles.h"
#include "settings/SettingsKeys.h"

#include "settings/GlobalObject.h"
#include "settings/IniFile.h"

#include <QImage>
#include <QImageWriter>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace tovik {

namespace {

std::runtime_error CannotCreate(const std::string& fileName, const std::string& reason) {
    return std::runtime_error("Cannot create file \"" + fileName + "\". " + reason);
}

void PutLE(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

bool EnsureDirectory(const std::string& directory) {
    std::error_code error;
    if (std::filesystem::is_directory(directory, error))
        return true;
    return std::filesystem::create_directories(directory, error) ||
           std::filesystem::is_directory(directory, error);
}

} // namespace

void WriteBitmapFile(const TBitmap& picture, const std::string& fileName) {
    const auto rowBytes = static_cast<uint32_t>(picture.BytesPerLine());
    const auto imageSize = rowBytes * static_cast<uint32_t>(picture.Height());
    std::string header;
    header += "BM";
    PutLE(header, 14 + 40 + imageSize, 4); // file size
    PutLE(header, 0, 4);                   // reserved
    PutLE(header, 14 + 40, 4);             // pixel data offset
    PutLE(header, 40, 4);                  // info header size
    PutLE(header, static_cast<uint32_t>(picture.Width()), 4);
    PutLE(header, static_cast<uint32_t>(picture.Height()), 4); // positive: bottom-up rows
    PutLE(header, 1, 2);                                       // planes
    PutLE(header, 24, 2);                                      // bits per pixel
    PutLE(header, 0, 4);                                       // no compression
    PutLE(header, imageSize, 4);
    PutLE(header, 2835, 4); // 72 dpi
    PutLE(header, 2835, 4);
    PutLE(header, 0, 4);
    PutLE(header, 0, 4);

    std::ofstream file(fileName, std::ios::binary | std::ios::trunc);
    if (!file)
        throw CannotCreate(fileName, std::strerror(errno));
    file.write(header.data(), static_cast<std::streamsize>(header.size()));
    for (int y = picture.Height() - 1; y >= 0; --y)
        file.write(reinterpret_cast<const char*>(picture.ScanLine(y)), rowBytes);
    file.close();
    if (!file)
        throw CannotCreate(fileName, "The file could not be written completely.");
}

void WriteJpegFile(const TBitmap& picture, const std::string& fileName, int quality) {
    const QImage image(picture.Bits(), picture.Width(), picture.Height(), picture.BytesPerLine(),
                       QImage::Format_BGR888);
    QImageWriter writer(QString::fromStdString(fileName), "jpeg");
    writer.setQuality(quality);
    if (!writer.write(image))
        throw CannotCreate(fileName, writer.errorString().toStdString());
}

std::string SaveSnapshot(const TBitmap& full, const TBitmap& small,
                         const TSnapshotContext& context) {
    TIniFile settings(context.SettingsFile);
    std::string directory =
        settings.ReadString(kSettingsSection, kSnapshotDirKey, DefaultVideoDirectory());
    if (!EnsureDirectory(directory)) {
        const std::string fallback = DefaultVideoDirectory();
        if (context.ShowWarning)
            context.ShowWarning("Cannot create output directory:" + directory +
                                ".It will create default directory " + fallback + "!");
        EnsureDirectory(fallback);
        settings.WriteString(kSettingsSection, kSnapshotDirKey, fallback);
        directory = fallback;
    }
    // Only the value 1 switches a kind or format on.
    const bool fullSize = settings.ReadInteger(kSettingsSection, kSnapFullSizeKey, 1) == 1;
    const bool smallSize = settings.ReadInteger(kSettingsSection, kSnapSmallSizeKey, 1) == 1;
    const bool bmp = settings.ReadInteger(kSettingsSection, kSnapBmpKey, 1) == 1;
    const bool jpg = settings.ReadInteger(kSettingsSection, kSnapJpgKey, 1) == 1;
    const int quality = settings.ReadInteger(kSettingsSection, kJpgQualityKey, 30);
    if (directory.back() != '/')
        directory += '/';

    if (fullSize && bmp)
        WriteBitmapFile(full, directory + "Snapshot_full.bmp");
    if (smallSize && bmp)
        WriteBitmapFile(small, directory + "Snapshot_small.bmp");
    if (fullSize && jpg)
        WriteJpegFile(full, directory + "Snapshot_full.jpg", quality);
    if (smallSize && jpg)
        WriteJpegFile(small, directory + "Snapshot_small.jpg", quality);
    return directory;
}

} // namespace tovik

#pragma once
// The file information dialog (TfrmFileInfo): the container and first stream facts of one
// source file, read by an engine component of the dialog's own that never converts.

#include "app/fileinfo/FileInfoValues.h"

#include <QDialog>
#include <array>
#include <functional>
#include <memory>
#include <string>

class QLabel;
class QPushButton;

namespace tovik {

class TMediaConverter;

// The values the dialog shows, in the order of its labels.
enum class TFileInfoField {
    fiFileName,
    fiDuration,
    fiVideoFormat,
    fiResolution,
    fiVideoBitRate,
    fiFrameRate,
    fiTotalFrames,
    fiAudioFormat,
    fiSampleRate,
    fiChannels,
    fiAudioBitRate,
};
inline constexpr size_t kFileInfoFieldCount = 11;

class TfrmFileInfo : public QDialog {
    Q_OBJECT
public:
    // Shows why a file could not be read.
    using TShowError = std::function<void(const QString& text)>;

    TfrmFileInfo(QWidget* parent, TShowError showError);
    ~TfrmFileInfo() override;

    // Reads sourceFile's facts into the labels, then shows the dialog modally.
    int Execute(const std::string& sourceFile);
    // The showing steps without the modal loop; an empty name shows empty values.
    void Prepare(const std::string& sourceFile);

    QString Value(TFileInfoField field) const;
    QLabel* ValueLabel(TFileInfoField field) const;
    // The engine's task list (empty once the dialog has closed).
    int TaskCount() const;

    // Every way of closing ends here: the engine lets go of the file.
    void done(int result) override;

private:
    void ShowValues(const TFileInfoValues& values);

    TShowError showError_;
    std::unique_ptr<TMediaConverter> MediaConverter1;
    std::array<QLabel*, kFileInfoFieldCount> values_{};
    QPushButton* btnOk = nullptr;
};

} // namespace tovik

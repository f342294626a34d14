// A window that shows a description file whole: read-only, scrollable and selectable, in a fixed-pitch font
// so the examples' columns line up, sized for its lines. Every analysis window offers one from its Help menu
// (Help > "Description (full text)..."), beside the description box its design may keep greyed.
#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace brevant::frame {

class DescriptionViewer : public QDialog {
    Q_OBJECT

public:
    // Reads the description file (ReadDescription); title names the window it describes.
    DescriptionViewer(const QString& descriptionFile, const QString& title, QWidget* parent);

    QPlainTextEdit* Text() const { return text_; }

private:
    QPlainTextEdit* text_ = nullptr;
};

}  // namespace brevant::frame

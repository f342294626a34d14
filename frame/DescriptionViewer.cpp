#include "frame/DescriptionViewer.h"

#include "frame/Description.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace brevant::frame {

DescriptionViewer::DescriptionViewer(const QString& descriptionFile, const QString& title, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("DescriptionViewer"));
    setWindowTitle(title);
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    text_ = new QPlainTextEdit(this);
    text_->setObjectName(QStringLiteral("txtDescription"));
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    QString description = ReadDescription(descriptionFile);
    description.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (description.isEmpty())
        description = QStringLiteral("The description file %1 was not found.").arg(descriptionFile);
    text_->setPlainText(description);
    layout->addWidget(text_, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    layout->addWidget(buttons);

    // Room for the longest line (the files keep to 90 columns) and some 40 lines, within the screen.
    const QFontMetrics metrics(text_->font());
    int columns = 0;
    for (const QString& line : description.split(QLatin1Char('\n'))) columns = std::max(columns, int(line.size()));
    QSize size(metrics.horizontalAdvance(QLatin1Char('x')) * (std::min(columns, 100) + 4) + 40,
               metrics.lineSpacing() * 40 + 80);
    if (const QScreen* screen = parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    resize(size);
}

}  // namespace brevant::frame

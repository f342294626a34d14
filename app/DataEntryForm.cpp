#include "app/DataEntryForm.h"

#include "app/TablePaste.h"
#include "frame/Dialogs.h"
#include "frame/Shell.h"

#include <QAction>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSaveFile>
#include <QStringDecoder>
#include <QVBoxLayout>
#include <optional>

namespace brevant::app {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kOpenFilter = QStringLiteral("Data files(*.dat)|*.dat");
const QString kSaveFilter = QStringLiteral("Data file(*.dat)|*.dat");
const QString kTooLarge = QStringLiteral("The file is too large for this editor.");

QPointer<DataEntryForm>& SharedEditor() {
    static QPointer<DataEntryForm> editor;
    return editor;
}

// The busy pointer for as long as a file is being read.
class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

struct ReadResult {
    std::optional<QString> text;  // each line followed by CR LF
    QString error;
};

// Lines end at CR LF, LF or a lone CR; a last line without an ending is still a line.
QString EachLineWithCrLf(const QString& content) {
    QString text;
    text.reserve(content.size() + content.size() / 8);
    qsizetype start = 0;
    const qsizetype n = content.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = content[i];
        if (c != QLatin1Char('\n') && c != QLatin1Char('\r')) continue;
        text += QStringView(content).mid(start, i - start);
        text += kCrLf;
        if (c == QLatin1Char('\r') && i + 1 < n && content[i + 1] == QLatin1Char('\n')) ++i;
        start = i + 1;
    }
    if (start < n) {
        text += QStringView(content).mid(start);
        text += kCrLf;
    }
    return text;
}

ReadResult ReadForEditor(const QString& fileName) {
    const QFileInfo info(fileName);
    if (!info.exists()) return {std::nullopt, QStringLiteral("The file %1 does not exist.").arg(fileName)};
    if (info.isDir()) return {std::nullopt, QStringLiteral("%1 is a folder, not a file.").arg(fileName)};
    if (info.size() > DataEntryForm::kMaxFileBytes) return {std::nullopt, kTooLarge};

    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        return {std::nullopt, QStringLiteral("The file %1 cannot be read: %2").arg(fileName, file.errorString())};
    }
    // Read one byte past the limit: a file may be larger than its reported size (it grew, or is special).
    const QByteArray bytes = file.read(DataEntryForm::kMaxFileBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        return {std::nullopt, QStringLiteral("The file %1 cannot be read: %2").arg(fileName, file.errorString())};
    }
    if (bytes.size() > DataEntryForm::kMaxFileBytes) return {std::nullopt, kTooLarge};
    if (bytes.contains('\0')) {
        return {std::nullopt, QStringLiteral("The file %1 is not a plain-text file.").arg(fileName)};
    }

    QStringDecoder utf8(QStringDecoder::Utf8);
    QString content = utf8.decode(bytes);
    if (utf8.hasError()) content = QString::fromLatin1(bytes);  // an older single-byte text file
    return {EachLineWithCrLf(content), {}};
}

// Courier New where installed, else the first fixed-pitch family found, so columns of numbers line up.
QFont FixedPitchFont() {
    for (const char* family : {"Courier New", "Liberation Mono", "DejaVu Sans Mono", "Nimbus Mono PS"}) {
        if (QFontDatabase::hasFamily(QString::fromLatin1(family))) {
            QFont font(QString::fromLatin1(family));
            font.setStyleHint(QFont::TypeWriter);
            return font;
        }
    }
    return QFontDatabase::systemFont(QFontDatabase::FixedFont);
}

}  // namespace

DataEntryForm* DataEntryForm::Shared() {
    QPointer<DataEntryForm>& editor = SharedEditor();
    if (editor.isNull()) {
        editor = new DataEntryForm();
        frame::RegisterLoadedWindow(editor);
    }
    return editor;
}

DataEntryForm* DataEntryForm::Existing() { return SharedEditor(); }

void DataEntryForm::ShowShared() {
    DataEntryForm* editor = Shared();
    editor->show();
    editor->raise();
    editor->activateWindow();
}

QString DataEntryForm::InstructionText() {
    return QStringLiteral(
        "Enter data in window below. \r\n"
        "Normally enter sample size(s) on first line. (With one-way \r\n"
        "procedure, first line would contain number of groups, and next \r\n"
        "line contains sample sizes.\r\n"
        "All data are separated by space or carriage return.\r\n"
        "The save file with file menu.\r\n");
}

DataEntryForm::DataEntryForm(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("DataEntryForm"));
    setWindowTitle(QStringLiteral("Form1"));
    BuildMenu();
    BuildControls();
    resize(620, 520);
}

void DataEntryForm::BuildMenu() {
    QMenu* mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    struct Entry {
        const char* name;
        const char* caption;
        void (DataEntryForm::*slot)();
    };
    const Entry entries[] = {
        {"mnuNewFile", "&New", &DataEntryForm::mnuNewFile_Click},
        {"mnuOpen", "&Open", &DataEntryForm::mnuOpen_Click},
        {"mnuSaveAsFile", "Save &As", &DataEntryForm::mnuSaveAsFile_Click},
        {"mnuExit", "Hide", &DataEntryForm::mnuExit_Click},
    };
    for (const Entry& e : entries) {
        QAction* action = mnuFile->addAction(QString::fromLatin1(e.caption));
        action->setObjectName(QString::fromLatin1(e.name));
        connect(action, &QAction::triggered, this, e.slot);
    }
}

void DataEntryForm::BuildControls() {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);

    txtInstruct_ = new QPlainTextEdit(central);
    txtInstruct_->setObjectName(QStringLiteral("txtInstruct"));
    txtInstruct_->setPlainText(InstructionText());
    txtInstruct_->setReadOnly(true);
    txtInstruct_->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtInstruct_->setFocusPolicy(Qt::NoFocus);
    // Six lines and the empty one after the last line end, without a scroll bar.
    const int lineHeight = txtInstruct_->fontMetrics().lineSpacing();
    txtInstruct_->setFixedHeight(lineHeight * 8 + 2 * txtInstruct_->frameWidth());
    layout->addWidget(txtInstruct_);

    // Editable from the start: a user may type a new data file without loading one.
    auto* box = new DataTextEdit(central);
    // A block of spreadsheet columns asks before it is pasted: read row by row, they would be mixed.
    box->onTabbedPaste = [this, box](const QString& text) { return HandleTabbedPaste(this, box, text); };
    DataForm_ = box;
    DataForm_->setObjectName(QStringLiteral("DataForm"));
    DataForm_->setFont(FixedPitchFont());
    DataForm_->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(DataForm_, 1);

    auto* bottom = new QHBoxLayout();
    lblFile_ = new QLabel(central);
    lblFile_->setObjectName(QStringLiteral("lblFile"));
    lblFile_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A long name must not widen the window; the whole name is in the tooltip too.
    lblFile_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    bottom->addWidget(lblFile_, 1);
    Done_ = new QPushButton(QStringLiteral("Done"), central);
    Done_->setObjectName(QStringLiteral("Done"));
    connect(Done_, &QPushButton::clicked, this, &DataEntryForm::Done_Click);
    bottom->addWidget(Done_);
    layout->addLayout(bottom);

    setCentralWidget(central);
    DataForm_->setFocus();
}

bool DataEntryForm::Load(const QString& fileName) {
    const QString fullName = QFileInfo(fileName).absoluteFilePath();
    // Asked before reading, so a file saved here and then loaded is read as just saved.
    if (!ConfirmDiscard(QStringLiteral("The text in the data editor has changed since it was last loaded or "
                                       "saved. Save it before loading %1?")
                            .arg(fullName))) {
        return false;
    }
    ReadResult read;
    {
        BusyCursor busy;
        read = ReadForEditor(fileName);
    }
    if (!read.text) {
        frame::ShowMessage(this, read.error);
        return false;
    }
    {
        BusyCursor busy;
        DataForm_->setPlainText(*read.text);
    }
    DataForm_->document()->setModified(false);
    DataForm_->setEnabled(true);
    DataForm_->setReadOnly(false);
    lblFile_->setText(fullName);
    lblFile_->setToolTip(fullName);
    return true;
}

bool DataEntryForm::SaveTo(const QString& fileName) {
    QString text = DataForm_->toPlainText();
    text.replace(QLatin1Char('\n'), kCrLf);
    text += kCrLf;
    const QByteArray bytes = text.toUtf8();

    QSaveFile file(fileName);
    bool saved = file.open(QIODevice::WriteOnly);
    if (saved) saved = file.write(bytes) == bytes.size();
    if (saved) saved = file.commit();  // renames the finished temporary file over the target
    if (!saved) {
        const QString reason = file.errorString();
        file.cancelWriting();
        frame::ShowMessage(this, QStringLiteral("The file %1 could not be saved: %2. An earlier file of that "
                                                "name is left as it was.")
                                     .arg(fileName, reason));
        return false;
    }
    DataForm_->document()->setModified(false);
    // The text is now that file's: the label names it, as after a load.
    const QString fullName = QFileInfo(fileName).absoluteFilePath();
    lblFile_->setText(fullName);
    lblFile_->setToolTip(fullName);
    return true;
}

bool DataEntryForm::HasUnsavedChanges() const { return DataForm_->document()->isModified(); }

bool DataEntryForm::ConfirmDiscard(const QString& question) {
    if (!HasUnsavedChanges()) return true;
    switch (frame::AskYesNoCancel(this, question)) {
        case QMessageBox::Yes: return SaveAs();
        case QMessageBox::No: return true;
        default: return false;
    }
}

bool DataEntryForm::ConfirmQuit() {
    return ConfirmDiscard(QStringLiteral("The text in the data editor has changed since it was last loaded or "
                                         "saved. Save it before the program ends?"));
}

void DataEntryForm::LoadChosenFile() {
    const QString fileName =
        frame::ShowFileDialog(this, {frame::FileDialogKind::Open, frame::kOpenDataFileTitle, kOpenFilter});
    if (fileName.isEmpty()) return;
    Load(fileName);
}

bool DataEntryForm::SaveAs() {
    // A name typed without a suffix is saved as a .dat file, as the filter promises.
    const QString fileName =
        frame::ShowFileDialog(this, {frame::FileDialogKind::Save, frame::kSaveDataFileTitle, kSaveFilter, true});
    if (fileName.isEmpty()) return false;
    return SaveTo(fileName);
}

// "New" asks for a file to load, like "Open"; neither clears the box by itself.
void DataEntryForm::mnuNewFile_Click() { LoadChosenFile(); }
void DataEntryForm::mnuOpen_Click() { LoadChosenFile(); }
void DataEntryForm::mnuSaveAsFile_Click() { SaveAs(); }
void DataEntryForm::mnuExit_Click() { hide(); }
void DataEntryForm::Done_Click() { hide(); }

// Outside a quit, closing only hides the editor with its text. A quit has asked about unsaved text
// (MayQuit) before it closes anything.
void DataEntryForm::closeEvent(QCloseEvent* event) { event->accept(); }

}  // namespace brevant::app

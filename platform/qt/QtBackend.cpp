#include <QApplication>
#include <QCoreApplication>
#include <QFileDialog>
#include <QImage>
#include <QMessageBox>
#include <QPixmap>

#include <map>

#include "platform/dialog/ResourceTable.h"
#include "platform/dialog/backend/Backend.h"
#include "platform/dialog/backend/CallCarrier.h"
#include "platform/dialog/backend/DialogAccess.h"
#include "platform/dialog/backend/Process.h"
#include "platform/qt/QtDialog.h"

namespace kelvra::platform::backend {

namespace {

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QWidget* widgetOf(CDialog* dialog) {
    if (dialog == nullptr) {
        return nullptr;
    }
    auto* native = dynamic_cast<qtui::QtDialog*>(DialogAccess::native(*dialog));
    return native != nullptr ? native->widget() : nullptr;
}

CallCarrier& carrier() {
    // Wakes the window's thread, whose event loop (a modal one included) then serves the call.
    static CallCarrier instance([] {
        if (QCoreApplication* app = QCoreApplication::instance()) {
            QMetaObject::invokeMethod(
                app, [] { carrier().servePending(); }, Qt::QueuedConnection);
        }
    });
    return instance;
}

QImage iconImage(int iconId, int size) {
    std::vector<std::uint32_t> pixels = drawIconResource(iconId, size);
    QImage image(size, size, QImage::Format_RGB32);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            image.setPixel(x, y, 0xFF000000u | pixels[static_cast<std::size_t>(y * size + x)]);
        }
    }
    return image;
}

}  // namespace

std::unique_ptr<NativeDialog> createDialog(CDialog& dialog, const DialogTemplate& tmpl,
                                           CDialog* owner) {
    if (QApplication::instance() == nullptr) {
        return nullptr;
    }
    return std::make_unique<qtui::QtDialog>(dialog, tmpl, widgetOf(owner));
}

int messageBox(CDialog* owner, std::string_view text, std::string_view title, unsigned type) {
    QMessageBox::Icon icon = QMessageBox::Warning;
    switch (type & MB_ICONMASK) {
        case MB_ICONERROR:
            icon = QMessageBox::Critical;
            break;
        case MB_ICONQUESTION:
            icon = QMessageBox::Question;
            break;
        case MB_ICONINFORMATION:
            icon = QMessageBox::Information;
            break;
        default:
            break;
    }
    bool okCancel = (type & MB_TYPEMASK) == MB_OKCANCEL;
    QMessageBox box(icon, fromUtf8(title), fromUtf8(text),
                    okCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok,
                    widgetOf(owner));
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(okCancel ? QMessageBox::Cancel : QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok ? IDOK : IDCANCEL;
}

void openCarrier() {
    carrier().open();
}
void closeCarrier() {
    carrier().close();
}
bool carry(const std::function<void()>& call) {
    return carrier().carry(call);
}
void waitForWorkers() {}
void workerEnded() {
    carrier().notify();
}

std::optional<std::string> browseForFolder(std::string_view title) {
    QString folder =
        QFileDialog::getExistingDirectory(widgetOf(DialogAccess::innermost()), fromUtf8(title));
    if (folder.isEmpty()) {
        return std::nullopt;
    }
    return folder.toUtf8().toStdString();
}

bool changeCurrentDirectory(std::string_view path) {
    return changeProcessDirectory(path);
}

IconHandle loadIcon(int iconId) {
    static std::map<int, IconResource> icons;
    if (drawIconResource(iconId, 16).empty()) {
        return nullptr;
    }
    auto [it, added] = icons.try_emplace(iconId, IconResource{iconId, QIcon()});
    if (added) {
        it->second.icon.addPixmap(QPixmap::fromImage(iconImage(iconId, 32)));
        it->second.icon.addPixmap(QPixmap::fromImage(iconImage(iconId, 16)));
    }
    return &it->second;
}

std::string loadString(int stringId) {
    return std::string(findStringResource(stringId));
}

std::string executableName() {
    return processExecutableName();
}

// Settings are not kept on this platform, so registering the key stores nothing.
void registerSettingsKey(std::string_view) {}

void initCommonControls() {}

int runProgram(int argc, char** argv, const std::function<int()>& run) {
    QApplication app(argc, argv);
    // The program ends when the start-up step returns, not when a window closes.
    QApplication::setQuitOnLastWindowClosed(false);
    return run();
}

}  // namespace kelvra::platform::backend

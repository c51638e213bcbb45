// Loaded into Tovik or Kalvo with LD_PRELOAD by the end-to-end driver, so the
// programs need no hook of their own: writes one line per widget on the
// screen whose objectName is a control or command number,
//   NAME X Y W H TITLE-OF-ITS-WINDOW
// in X screen (device) pixels, to $TK_GEOMETRY_FILE whenever a widget is
// shown, hidden, moved or resized. A colour dialog adds its basic colour
// cells, as "swatch.RRGGBB", and its OK button, as "colordialog.ok"; a file
// dialog adds its accept button ("Choose", "Open"...), as "filedialog.accept";
// each visible top-level window adds "window.CLASS" (its class name without
// the namespace). The file is replaced whole (written aside and renamed), so
// a reader never sees half of it.

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QByteArray>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSaveFile>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstdio>

namespace {

class GeometryProbe final : public QObject {
public:
    GeometryProbe(QString path, QObject* parent) : QObject(parent), path_(std::move(path)) {
        timer_.setSingleShot(true);
        timer_.setInterval(40);
        connect(&timer_, &QTimer::timeout, this, &GeometryProbe::dump);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        constexpr QEvent::Type kChanges[] = {QEvent::Show, QEvent::Hide, QEvent::Move,
                                             QEvent::Resize, QEvent::Expose};
        if (std::find(std::begin(kChanges), std::end(kChanges), event->type()) !=
                std::end(kChanges) &&
            (watched->isWidgetType() || watched->isWindowType()) && !timer_.isActive()) {
            timer_.start();
        }
        return false;
    }

private:
    // Qt's global coordinates are logical pixels, scaled about the top-left
    // corner of each screen (which stays where it is in device pixels).
    static QByteArray line(const QByteArray& name, QWidget* w, QRect r) {
        const QPoint g = w->mapToGlobal(r.topLeft());
        const QScreen* screen = w->screen();
        const QPoint origin = screen != nullptr ? screen->geometry().topLeft() : QPoint();
        const qreal f = w->devicePixelRatioF();
        const QPoint d = origin + (g - origin) * f;
        return name + ' ' + QByteArray::number(d.x()) + ' ' + QByteArray::number(d.y()) + ' ' +
               QByteArray::number(qRound(r.width() * f)) + ' ' +
               QByteArray::number(qRound(r.height() * f)) + ' ' +
               w->window()->windowTitle().simplified().toUtf8() + '\n';
    }

    // The basic colours are the dialog's tallest colour grid (the custom
    // colours have two rows), found as the buddy of its label: 8 columns of 6,
    // filled column by column with the standard colours.
    static QByteArray colorDialog(QColorDialog* dialog) {
        QByteArray text;
        QWidget* basic = nullptr;
        for (QLabel* label : dialog->findChildren<QLabel*>()) {
            QWidget* w = label->buddy();
            if (w != nullptr && qobject_cast<QAbstractButton*>(w) == nullptr &&
                qobject_cast<QLineEdit*>(w) == nullptr &&
                qobject_cast<QAbstractSpinBox*>(w) == nullptr &&
                (basic == nullptr || w->height() > basic->height())) {
                basic = w;
            }
        }
        if (QWidget* w = basic) {
            constexpr int kRows = 6, kColumns = 8;
            const int cw = w->width() / kColumns, ch = w->height() / kRows;
            for (int c = 0; c < kColumns; ++c) {
                for (int r = 0; r < kRows; ++r) {
                    const QColor colour = QColorDialog::standardColor(r + c * kRows);
                    const QByteArray name =
                        "swatch." + colour.name(QColor::HexRgb).mid(1).toUpper().toLatin1();
                    text += line(name, w, QRect(c * cw, r * ch, cw, ch));
                }
            }
        }
        if (auto* box = dialog->findChild<QDialogButtonBox*>()) {
            if (QPushButton* ok = box->button(QDialogButtonBox::Ok); ok && ok->isVisible()) {
                text += line("colordialog.ok", ok, ok->rect());
            }
        }
        return text;
    }

    void dump() {
        QByteArray text;
        for (QWidget* w : QApplication::allWidgets()) {
            // Shown to Qt is not yet on the screen: a window manager maps the
            // window in its frame a moment later, and under load the window
            // stands unframed (so higher by its title bar) for a while.
            const QWindow* handle = w->window()->windowHandle();
            if (!w->isVisible() || handle == nullptr || !handle->isExposed()) {
                continue;
            }
            if (w->isWindow()) {
                QByteArray name = w->metaObject()->className();
                name = name.mid(name.lastIndexOf(':') + 1);  // without its namespace
                text += line("window." + name, w, w->rect());
            }
            if (number_.match(w->objectName()).hasMatch()) {
                text += line(w->objectName().toUtf8(), w, w->rect());
            }
            if (auto* dialog = qobject_cast<QColorDialog*>(w)) {
                text += colorDialog(dialog);
            }
            if (auto* dialog = qobject_cast<QFileDialog*>(w)) {
                if (auto* box = dialog->findChild<QDialogButtonBox*>()) {
                    for (QAbstractButton* b : box->buttons()) {
                        if (box->buttonRole(b) == QDialogButtonBox::AcceptRole && b->isVisible()) {
                            text += line("filedialog.accept", b, b->rect());
                        }
                    }
                }
            }
        }
        if (text == last_) {
            return;
        }
        QSaveFile file(path_);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
            std::fprintf(stderr, "geometry probe: cannot write %s\n", qPrintable(path_));
            return;
        }
        last_ = text;
    }

    const QRegularExpression number_{QStringLiteral("^[0-9]+$")};  // a control or command
    QString path_;
    QTimer timer_;
    QByteArray last_;
};

void installProbe() {
    const QString path = qEnvironmentVariable("TK_GEOMETRY_FILE");
    QCoreApplication* app = QCoreApplication::instance();
    if (path.isEmpty() || app == nullptr) {
        return;
    }
    // Runs while the application object is being built; the filter sees every
    // widget event from then on.
    auto* probe = new GeometryProbe(path, app);
    app->installEventFilter(probe);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(installProbe)

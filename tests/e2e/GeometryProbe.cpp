// Loaded into Tovik or Kalvo with LD_PRELOAD by the end-to-end driver, so the
// programs need no hook of their own: writes one line per visible widget whose
// objectName is a control or command number,
//   NAME X Y W H TITLE-OF-ITS-WINDOW
// in global screen pixels, to $TK_GEOMETRY_FILE whenever a widget is shown,
// hidden, moved or resized. The file is replaced whole (written aside and
// renamed), so a reader never sees half of it.

#include <QApplication>
#include <QByteArray>
#include <QEvent>
#include <QFile>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace {

bool isNumber(const QString& name) {
    if (name.isEmpty()) {
        return false;
    }
    for (const QChar c : name) {
        if (!c.isDigit()) {
            return false;
        }
    }
    return true;
}

class GeometryProbe final : public QObject {
public:
    GeometryProbe(QString path, QObject* parent) : QObject(parent), path_(std::move(path)) {
        timer_.setSingleShot(true);
        timer_.setInterval(40);
        connect(&timer_, &QTimer::timeout, this, &GeometryProbe::dump);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::Show:
            case QEvent::Hide:
            case QEvent::Move:
            case QEvent::Resize:
                if (watched->isWidgetType() && !timer_.isActive()) {
                    timer_.start();
                }
                break;
            default:
                break;
        }
        return false;
    }

private:
    void dump() {
        QByteArray text;
        for (QWidget* w : QApplication::allWidgets()) {
            if (!isNumber(w->objectName()) || !w->isVisible() || !w->window()->isVisible()) {
                continue;
            }
            const QPoint g = w->mapToGlobal(QPoint(0, 0));
            text += w->objectName().toUtf8() + ' ' + QByteArray::number(g.x()) + ' ' +
                    QByteArray::number(g.y()) + ' ' + QByteArray::number(w->width()) + ' ' +
                    QByteArray::number(w->height()) + ' ' +
                    w->window()->windowTitle().simplified().toUtf8() + '\n';
        }
        if (text == last_) {
            return;
        }
        const QString temporary = path_ + QStringLiteral(".part");
        QFile file(temporary);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) {
            std::fprintf(stderr, "geometry probe: cannot write %s\n", qPrintable(temporary));
            return;
        }
        file.close();
        if (std::rename(QFile::encodeName(temporary).constData(),
                        QFile::encodeName(path_).constData()) == 0) {
            last_ = text;
        }
    }

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

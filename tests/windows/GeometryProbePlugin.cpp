// The end-to-end geometry probe (tests/e2e/GeometryProbe.cpp) for Windows,
// which has no LD_PRELOAD: a Qt generic plugin that the smoke tests load
// into Tovik and Kalvo with QT_QPA_GENERIC_PLUGINS=tkgeometryprobe from the
// programs' generic/ folder. Loading it runs the probe's start-up function
// (the application object exists by then); the plugin object does nothing.

#include <QGenericPlugin>

#include "tests/e2e/GeometryProbe.cpp"

namespace {

class GeometryProbePlugin final : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "GeometryProbePlugin.json")

public:
    QObject* create(const QString&, const QString&) override { return new QObject; }
};

}  // namespace

#include "GeometryProbePlugin.moc"

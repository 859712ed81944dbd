// Writes pictures of the front panel, one per function and one after
// connecting to the simulated meter, into the folder given as argument.
#include <QApplication>
#include <QDir>
#include <QLabel>

#include <cstdio>

#include "functions/CKVTFunction.h"
#include "panel/CFrontPanel.h"
#include "tests/panel/PanelMeter.h"

namespace {

void Save(kvt::panel::CFrontPanel& panel, const QDir& folder, const QString& name) {
    const QString path = folder.filePath(name + ".png");
    if (!panel.grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    }
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());
    kvt::test::PanelMeter meter;
    kvt::panel::CFrontPanel panel;
    QString error;
    if (!panel.CreatePanel(kvt::test::SkinPath(), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    panel.show();
    const std::pair<const char*, bool> keys[] = {
        {"btnDCV", false},  {"btnDCV", true},  {"btnACV", false},  {"btnACV", true},
        {"btn2W", false},   {"btn2W", true},   {"btn-11-", false}, {"btn-11-", true},
        {"btnCont", false}, {"btnCont", true}, {"btnTemp", false}};
    for (const auto& [key, second] : keys) {
        if (second) {
            kvt::test::Click(panel, "btn2nd");
        }
        kvt::test::Click(panel, key);
        if (second) {
            kvt::test::Click(panel, "btn2nd");
        }
        const std::string name = panel.GetCurrentFunction()->GetName();
        Save(panel, folder, QString::fromStdString(name).replace(' ', '_'));
    }
    kvt::test::Click(panel, "btnDCV");
    kvt::test::Click(panel, "btnShift");
    kvt::test::Click(panel, "btn2nd");
    Save(panel, folder, "indicators");
    kvt::test::Click(panel, "btn2nd");
    kvt::test::Click(panel, "btnShift");

    if (!meter.Open()) {
        std::fprintf(stderr, "cannot open the simulated meter\n");
        return 1;
    }
    QCoreApplication::postEvent(&panel, new QEvent(kvt::panel::CFrontPanel::kConnectedEvent));
    auto* value = qobject_cast<QLabel*>(panel.Control("LabelValue"));
    const QString placeholder =
        QString::fromStdString(std::string(kvt::functions::CKVTFunction::kPlaceholder));
    kvt::test::WaitFor([&] { return value->text() != placeholder && !value->text().isEmpty(); });
    Save(panel, folder, "connected");
    kvt::test::Click(panel, "btnF1");
    Save(panel, folder, "connected_range_page");
    kvt::test::Click(panel, "btnTemp");
    kvt::test::WaitFor([&] { return value->text() != placeholder; });
    Save(panel, folder, "connected_temperature");
    panel.Shutdown();
    return 0;
}

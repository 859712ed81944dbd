// Runs every front-panel test class in one offscreen application.
#include <QApplication>

int RunPanelSkinTest(int argc, char** argv);
int RunPanelKeysTest(int argc, char** argv);
int RunPanelDisplayTest(int argc, char** argv);
int RunPanelMessagesTest(int argc, char** argv);
int RunTinyMenuCellsTest(int argc, char** argv);
int RunPanelWorkerTest(int argc, char** argv);
int RunPanelFailureTest(int argc, char** argv);

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    int failed = 0;
    for (auto* run : {RunPanelSkinTest, RunPanelKeysTest, RunPanelDisplayTest, RunPanelMessagesTest,
                      RunTinyMenuCellsTest, RunPanelWorkerTest, RunPanelFailureTest}) {
        failed += run(argc, argv);
    }
    return failed == 0 ? 0 : 1;
}

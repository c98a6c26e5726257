#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

namespace {

QtMessageHandler g_previous = nullptr;

// The offscreen platform warns about every window it cannot size natively; the noise hides
// the test output that matters.
void Filter(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.contains(QLatin1String("propagateSizeHints"))) return;
    if (g_previous) g_previous(type, context, text);
}

}  // namespace

int main(int argc, char** argv) {
    g_previous = qInstallMessageHandler(Filter);
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

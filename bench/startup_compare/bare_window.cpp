// The program's widgets in a bare Qt program, as the yardstick of its start-up: a main window
// with the four menus, the toolbar, a tree with the five headers and one row, a text box and a
// status bar of five panels. Nothing is read, nothing is probed.
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow w;
    w.setWindowTitle(QStringLiteral("ピングローブ v1.05"));
    for (const char* m : {"偵察", "編集", "設定", "ヘルプ"})
        w.menuBar()->addMenu(QString::fromUtf8(m))->addAction(QStringLiteral("…"));
    QToolBar* bar = w.addToolBar(QStringLiteral("tools"));
    for (const char* b : {"全", "選", "追", "更", "削", "止"}) bar->addAction(QString::fromUtf8(b));
    auto* split = new QSplitter(Qt::Vertical);
    auto* tree = new QTreeWidget;
    tree->setHeaderLabels({QStringLiteral("状態"), QStringLiteral("IPアドレス"),
                           QStringLiteral("名前"), QStringLiteral("回数"),
                           QStringLiteral("応答")});
    tree->addTopLevelItem(new QTreeWidgetItem({QString(), QStringLiteral("127.0.0.1"),
                                               QStringLiteral("自分"), QStringLiteral("0"),
                                               QStringLiteral("0")}));
    split->addWidget(tree);
    split->addWidget(new QPlainTextEdit);
    w.setCentralWidget(split);
    for (int i = 0; i < 5; ++i) w.statusBar()->addWidget(new QLabel(QStringLiteral("―")));
    w.resize(610, 490);
    w.show();
    return app.exec();
}

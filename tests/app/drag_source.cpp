// SPDX-License-Identifier: GPL-3.0-or-later
// A window that drags the files named on its command line when a mouse button is pressed on
// it, as a file manager does: another program on the same X server to drop files from.
// Prints "accepted" each time the window under the pointer comes to take the files, so a test
// lets go only once the target has said so (its answer travels over X and can come late), then
// "dropped" or "refused" when the drag ends, and ends with it.
#include <QApplication>
#include <QDrag>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>
#include <cstdio>

namespace {

class DragSource : public QLabel {
public:
    explicit DragSource(QList<QUrl> files)
        : QLabel(QStringLiteral("Drag me")), files_(std::move(files)) {
        setWindowTitle(QStringLiteral("Drag source"));
        setAlignment(Qt::AlignCenter);
        resize(160, 120);
    }

protected:
    void mousePressEvent(QMouseEvent*) override {
        auto* files = new QMimeData;
        files->setUrls(files_);
        auto* drag = new QDrag(this);
        drag->setMimeData(files);
        connect(drag, &QDrag::actionChanged, this, [](Qt::DropAction action) {
            if (action == Qt::CopyAction) {
                std::printf("accepted\n");
                std::fflush(stdout);
            }
        });
        const Qt::DropAction done = drag->exec(Qt::CopyAction);
        std::printf("%s\n", done == Qt::CopyAction ? "dropped" : "refused");
        std::fflush(stdout);
        QTimer::singleShot(2000, qApp, &QApplication::quit);
    }

private:
    QList<QUrl> files_;
};

} // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QList<QUrl> files;
    for (const QString& path : application.arguments().mid(1)) {
        files.append(QUrl::fromLocalFile(path));
    }
    DragSource source(files);
    source.move(0, 0);
    source.show();
    return application.exec();
}

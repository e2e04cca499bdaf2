#include "app/message_channel.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <QTimer>
#include <cstdio>

#include "foundation/texts.h"

namespace vorsa::app {
namespace {

void ShowBox(const QString& text, bool autoClose) {
  QMessageBox box(QMessageBox::Information, QString::fromStdString(GetText("Message")), text, QMessageBox::Ok);
  if (autoClose) QTimer::singleShot(0, &box, &QMessageBox::accept);
  box.exec();
}

}  // namespace

void MessageBoxChannel::ShowMessage(const std::string& text) {
  std::fprintf(stderr, "vorsa: %s\n", text.c_str());
  if (!qApp) return;
  const QString message = QString::fromStdString(text);
  // Worker threads may report too; windows belong to the interface thread.
  if (QThread::currentThread() == qApp->thread()) {
    ShowBox(message, autoClose_);
  } else {
    const bool autoClose = autoClose_;
    QMetaObject::invokeMethod(qApp, [message, autoClose] { ShowBox(message, autoClose); },
                              Qt::BlockingQueuedConnection);
  }
}

}  // namespace vorsa::app

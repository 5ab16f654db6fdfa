// Page "主动上传": where the connected terminal uploads its records to, the
// upload listener, the terminals that logged in to it (lvClock) and one line
// per uploaded record (Memo4).
#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class UploadPage;
}

class UploadPage : public QWidget
{
    Q_OBJECT

public:
    explicit UploadPage(QWidget *parent = nullptr);
    ~UploadPage() override;

private:
    std::unique_ptr<Ui::UploadPage> ui;
};

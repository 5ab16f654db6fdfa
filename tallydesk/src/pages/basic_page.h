// Page "基础设置" (TabSheet1): the terminal's clock, device number and device
// information in the top row, the card-security groups and the privilege
// groups below.
#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class BasicPage;
}

namespace tallydesk {
class ConsoleContext;
}

class BasicPage : public QWidget {
    Q_OBJECT

public:
    explicit BasicPage(QWidget *parent = nullptr);
    ~BasicPage() override;

    // The main window's link and connection checks; set once after
    // construction.
    void setContext(tallydesk::ConsoleContext *context);

    // Top row.
    void Button1Click(); // read the terminal's time
    void Button2Click(); // set it to the PC's time
    void Button8Click(); // change the device number
    void Button5Click(); // device information

    // Privilege-group list (lstGroups).
    void InitGroupList(int highest);
    void CheckAllGroups(bool state);
    void InvertGroups();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool requireConnection();
    int32_t handle() const;

    std::unique_ptr<Ui::BasicPage> ui;
    tallydesk::ConsoleContext *context_ = nullptr;
};

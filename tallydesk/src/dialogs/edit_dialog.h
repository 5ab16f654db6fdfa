// Time-slot editor "时间金额设置": begin and end time (HH:MM, the first hour
// digit optional), fixed amount, limited count and the consumption work mode.
// The mode radio group's button ids are the mode numbers 0 to 7; no choice
// is id -1.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class TfrmEdit;
}

class TfrmEdit : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmEdit(QWidget *parent = nullptr);
    ~TfrmEdit() override;

private:
    std::unique_ptr<Ui::TfrmEdit> ui;
};

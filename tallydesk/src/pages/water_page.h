// Page "水控机": water-control terminals, reached through a TCP-to-RS485
// converter. Card-reading parameters (sector, key type, key), trade mode and
// method, and below them the parameter block and rate table on two sheets,
// read and written in one piece.
#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class WaterPage;
}

class WaterPage : public QWidget
{
    Q_OBJECT

public:
    explicit WaterPage(QWidget *parent = nullptr);
    ~WaterPage() override;

private:
    std::unique_ptr<Ui::WaterPage> ui;
};

#pragma once

#include <QDialog>

struct DeviceState;

// The presets window: twelve presets as read from the generator; a click on a number
// picks it. Hidden and reused, never recreated.
class Form2 final : public QDialog {
    Q_OBJECT
public:
    explicit Form2(DeviceState &state, QWidget *parent = nullptr);

private:
    DeviceState &m_state;
};

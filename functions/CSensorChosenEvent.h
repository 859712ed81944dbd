#pragma once

#include <QEvent>
#include <QString>

#include "functions/IFrontPanelServices.h"

namespace kvt::functions {

// Message 2027: the sensor dialog's choice, sent (not posted) to the
// front-panel window, which hands it to the temperature function whatever
// function is current. The name lives only as long as the event.
class CSensorChosenEvent final : public QEvent {
public:
    static constexpr QEvent::Type kType = static_cast<QEvent::Type>(WM_SENSOR_CHOSEN);

    CSensorChosenEvent(int definition, int sensorType, QString name)
        : QEvent(kType),
          m_definition(definition),
          m_sensorType(sensorType),
          m_name(std::move(name)) {}

    // Index in the definition list: 0 "Manu Define", 1 "User Define".
    int Definition() const { return m_definition; }
    // Index in the type list: 0 "Thermocouple", 1 "Thermoresisor".
    int SensorType() const { return m_sensorType; }
    // Both indexes packed as the message's word: type << 16 | definition.
    unsigned WParam() const {
        return (static_cast<unsigned>(m_sensorType) << 16) |
               (static_cast<unsigned>(m_definition) & 0xFFFFu);
    }
    const QString& Name() const { return m_name; }

private:
    int m_definition;
    int m_sensorType;
    QString m_name;
};

}  // namespace kvt::functions

#pragma once

#include <string>

namespace kvt::functions {

class CKVTFunction;

// Private messages of the front-panel window.
inline constexpr int WM_NEW_READING = 2024;              // worker, posted
inline constexpr int WM_INSTRUMENT_CONNECTED = 2025;     // main window, posted
inline constexpr int WM_INSTRUMENT_DISCONNECTED = 2026;  // main window, sent
inline constexpr int WM_SENSOR_CHOSEN = 2027;            // sensor dialog, sent

// What the measurement functions, the views and the save command ask of
// the front-panel window. Everything runs on the user-interface thread
// except PostNewReading, which the reading workers call.
class IFrontPanelServices {
public:
    // Puts the unit symbol ("V", "Ω", "℃", ...) into the unit labels of the
    // bar meter, trend chart and histogram views.
    virtual void SetViewsUnit(const std::string& unit) = 0;
    // Shows the temperature-sensor dialog, creating it on first use.
    virtual void ShowSensorDialog() = 0;
    // The current function's SetScaleFunction ("DB" or "DBM"), then a redraw.
    virtual void ApplyScaleFunction(const std::string& function) = 0;
    // Redraws title, value, unit and range from the current function.
    virtual void RefreshMainDisplay() = 0;
    // The current function's SetTrendModeLocked ("REC" or "ALL").
    virtual void SetTrendMode(const std::string& mode) = 0;
    // The current function's SaveHistory; on failure error gets the reason.
    virtual bool SaveReadings(const std::string& path, std::string* error) = 0;
    // Posts WM_NEW_READING to the window. Thread-safe and never blocks.
    virtual void PostNewReading() = 0;
    // The worker of function ended on its own: the instrument stopped
    // answering (or sent what could not be read). Called on the worker's
    // thread; must not block. Nothing to do by default.
    virtual void OnReadingsStopped(CKVTFunction* /*function*/) {}
    // The function the panel shows now (never null once the panel exists);
    // the views send their commands under its lock.
    virtual CKVTFunction* GetCurrentFunction() = 0;

protected:
    ~IFrontPanelServices() = default;
};

}  // namespace kvt::functions

#pragma once

#include <QLocale>

#include <clocale>
#include <string>

namespace kvt::test {

// Switches the C library locale and Qt's default locale for as long as it
// lives (as a user's environment would at start-up), then restores both.
class LocaleGuard {
public:
    explicit LocaleGuard(const char* name) : m_qtDefault(QLocale()) {
        const char* previous = std::setlocale(LC_ALL, nullptr);
        m_previous = previous != nullptr ? previous : "C";
        m_active = std::setlocale(LC_ALL, name) != nullptr;
        QLocale::setDefault(QLocale(QString::fromLatin1(name).section(QLatin1Char('.'), 0, 0)));
    }
    ~LocaleGuard() {
        std::setlocale(LC_ALL, m_previous.c_str());
        QLocale::setDefault(m_qtDefault);
    }
    LocaleGuard(const LocaleGuard&) = delete;
    LocaleGuard& operator=(const LocaleGuard&) = delete;

    bool Active() const { return m_active; }
    // The decimal separator the C library now prints with.
    static std::string DecimalPoint() { return std::localeconv()->decimal_point; }

private:
    std::string m_previous;
    QLocale m_qtDefault;
    bool m_active = false;
};

}  // namespace kvt::test

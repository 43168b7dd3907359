// What the window shows in the end-to-end scenarios, typed out as the user sees it.
#pragma once
#include <QString>

namespace corvane::e2e {

inline const QString kConnected = "The device is connected!";
inline const QString kDropped = "Произведено 5 попыток коммуникации, связь прервана!";
inline const QString kOpenFailed = "Не удалось открыть порт";
// The simulated model-1 controller of the end-to-end tests (bootloader 5, firmware 42, data 3).
inline const QString kModelOneReport =
    "Подключено устройство: Quarnel Basis\n"
    "\n"
    "Версия загрузчика (bootloader):  5\n"
    "Версия микропрограммы (firmware): 42\n"
    "Верcия памяти данных (Data): 3\n"  // Latin "c" in the first word
    "Верификация памяти программ:  OK\n"
    "Верификация памяти данных:       Пусто либо повреждение";

}  // namespace corvane::e2e

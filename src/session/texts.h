// Every text the program shows, exact to the blank (UTF-8).
#pragma once

namespace corvane::texts {

// Window
inline constexpr const char* kCaption = "Corvane Programmer 1.28";
inline constexpr const char* kConnect = "CONNECT";
inline constexpr const char* kDisconnect = "DISCONNECT";
inline constexpr const char* kUpdateFirmware = "update firmware";
inline constexpr const char* kWriteDataMap = "write data map";
inline constexpr const char* kPortListStart = "ComboBox1";

// Status line
inline constexpr const char* kDisconnected = "device disconnected.";
inline constexpr const char* kScanning = " Идет сканирование портов ";
inline constexpr const char* kConnected = "The device is connected!";
inline constexpr const char* kOpenFailed = "Не удалось открыть порт";
inline constexpr const char* kReadSettingsFailed = "Не удалось считать DCB";
inline constexpr const char* kApplySettingsFailed = "Не удалось установить DCB";
inline constexpr const char* kTimeoutsFailed = "Не удалось установить тайм-ауты";
inline constexpr const char* kLinkDropped = "Произведено 5 попыток коммуникации, связь прервана!";

// Why a port did not open: the status bar's tooltip, the trace and corvane-flash
inline constexpr const char* kCauseNotFound = "not found";
inline constexpr const char* kCausePermissionDenied = "permission denied";
inline constexpr const char* kCauseBusyHeldBy = "busy: held by ";  // then "name (pid N)", comma-separated
inline constexpr const char* kCauseBusyUnknown = "busy: held by another program";
inline constexpr const char* kCauseLocked = "locked by another program";
inline constexpr const char* kCauseNotSerial = "not a serial device";
inline constexpr const char* kCauseSettingsRefused = "settings refused";
inline constexpr const char* kCauseIoError = "I/O error: ";  // then the system's words
inline constexpr const char* kCauseIoErrorBare = "I/O error";
inline constexpr const char* kCauseHostNotFound = "host not found";
inline constexpr const char* kCauseConnectionRefused = "connection refused";
inline constexpr const char* kCauseTimedOut = "timed out";

// The port list (corvane-flash ports)
inline constexpr const char* kNoSerialPorts = "No serial ports found.";
inline constexpr const char* kColumnPort = "PORT";
inline constexpr const char* kColumnState = "STATE";
inline constexpr const char* kColumnUsbId = "USB ID";
inline constexpr const char* kColumnSerial = "SERIAL";
inline constexpr const char* kColumnManufacturer = "MANUFACTURER";
inline constexpr const char* kColumnDescription = "DESCRIPTION";
inline constexpr const char* kByIdPrefix = "by-id: ";
inline constexpr const char* kPortFree = "free";
inline constexpr const char* kPortBusy = "busy: ";  // then "name (pid N)", comma-separated
inline constexpr const char* kPortBusyUnknown = "busy";
inline constexpr const char* kPortNoPermission = "no permission";
inline constexpr const char* kPortLocked = "locked";

// Device report
inline constexpr const char* kRuBootloader = "Версия загрузчика (bootloader):  ";
inline constexpr const char* kRuFirmware = "Версия микропрограммы (firmware): ";
inline constexpr const char* kRuData = "Верcия памяти данных (Data): ";  // Latin "c" in the first word
inline constexpr const char* kRuProgramOk = "Верификация памяти программ:  OK";
inline constexpr const char* kRuProgramBad = "Верификация памяти программ:  FALSE память повреждена!";
inline constexpr const char* kRuDataOk = "Верификация памяти данных:       OK";
inline constexpr const char* kRuDataBad = "Верификация памяти данных:       Пусто либо повреждение";
inline constexpr const char* kEnBootloader = "Boot Loader Version:  ";
inline constexpr const char* kEnFirmware = "Firmware version: ";
inline constexpr const char* kEnProgramOk = "Verification of program memory:  OK";
inline constexpr const char* kEnProgramBad = "Verification of program memory:  FALSE memory corrupted!";
inline constexpr const char* kUnsupportedDevice = "Тип подключенного прибора не поддерживается программатором, обновите ПО!";
inline constexpr const char* kUnsupportedCaption = "Ошибка";

// Firmware image file
inline constexpr const char* kFirmwareFilterName = "binary file SBIN";
inline constexpr const char* kFirmwareFilterPattern = "*.sbin";
inline constexpr const char* kFirmwareSuffix = "sbin";
inline constexpr const char* kFirmwareCorrupted = "The firmware file is corrupted!";
inline constexpr const char* kFirmwareHeaderCorrupted = " The firmware file is corrupted, the action is canceled!";
inline constexpr const char* kFirmwareWrongDevice = " The firmware is not designed for this device! ";
inline constexpr const char* kErrorCaption = "Error";
inline constexpr const char* kFirmwareOlder = "The device has a newer version of the firmware, you want to record the previous?";
inline constexpr const char* kFirmwareSame = "In the device already offered firmware version, want to continue?";
inline constexpr const char* kFirmwareTooLarge = "The firmware file is too large!";
inline constexpr const char* kFileError = "Can't perform one of the following file operations: Open, Seek, Read, Close.";
inline constexpr const char* kFileErrorCaption = "File Error";

// Data map file
inline constexpr const char* kDataMapFilterName = "карта данных LBIN";
inline constexpr const char* kDataMapFilterPattern = "*.lbin";
inline constexpr const char* kDataMapSuffix = "lbin";
inline constexpr const char* kProgramMemoryDamaged =
    "Микропрограмма устройства повреждена, сначала корректно запишите микропрограмму, затем повторите попытку!";
inline constexpr const char* kDataMapCorrupted = "Файл карты данных поврежден!";
inline constexpr const char* kDataMapHeaderCorrupted = " \n\r Файл карты данных поврежден, действие отменено!";  // after the path
inline constexpr const char* kDataMapHeaderCaption = "Прошивка невозможна";
inline constexpr const char* kDataMapWrongDevice =
    "Предлагаемая карта данных предназначена не для этого устройства. Запись невозможна! \n Создайте карту данных "
    "именно для вашего устройства и повторите попытку!";
inline constexpr const char* kDataMapWrongVersion =  // after the path
    " \nВерсия предлагаемой карты данных не совместима с версией прошивки устройства. \nДля устранения такой "
    "проблемы необходимо обновить прошивку устройства по последней, \nтакже обновить ПО Corvane с сайта производителя!";
inline constexpr const char* kDataMapWrongCaption = "Не корректные данные для устройства";
inline constexpr const char* kDataMapTooLarge = "Файл карты данных слишком большой!";

// Verdicts
inline constexpr const char* kFirmwareSuccess = "Firmware update completed successfully!";
inline constexpr const char* kFirmwareFailure = "Firmware update failure";
inline constexpr const char* kDataMapSuccess = "Обновление карты данных успешно завершено!";
inline constexpr const char* kDataMapFailure =
    "Провал обновления  карты данных , сбросьте устройство (откл./вкл. питание) и попробуйте снова!";
inline constexpr const char* kOkCaption = "ОК";  // Cyrillic О and К
inline constexpr const char* kErrorVerdictCaption = "ERROR";

// Completion sounds, relative to the current directory
inline constexpr const char* kReadySound = "voice//update_is_ready.wav";
inline constexpr const char* kFailedSound = "voice//update_failed.wav";

}  // namespace corvane::texts

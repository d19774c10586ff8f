// Identifiers of the program's strings: the string table and the texts of its dialogs.
#ifndef RESOURCES_STRING_IDS_H
#define RESOURCES_STRING_IDS_H

#include <cstdint>

namespace app::ids {

// String table.
inline constexpr std::uint32_t kHighColorRenderingType = 131;
inline constexpr std::uint32_t kThreeBandType = 132;
inline constexpr std::uint32_t kNormalType = 133;
inline constexpr std::uint32_t kIncompatible = 134;
inline constexpr std::uint32_t kReady = 201;  // "To start the measurement process, ..."
inline constexpr std::uint32_t kComplete = 202;
inline constexpr std::uint32_t kCanceled = 203;  // in the table, never shown
inline constexpr std::uint32_t kNoCommunication = 204;
inline constexpr std::uint32_t kCalibrationFailed = 206;
inline constexpr std::uint32_t kMeasurementFailed = 207;
inline constexpr std::uint32_t kMemoryError = 208;
inline constexpr std::uint32_t kNoSensor = 210;
inline constexpr std::uint32_t kUnusable = 211;
inline constexpr std::uint32_t kStepCalibration = 251;
inline constexpr std::uint32_t kStepMeasurement = 252;
// The console's own texts: how to cancel a step, and the ready line in place of 201's
// instruction to click a button.
inline constexpr std::uint32_t kConsoleCancelHint = 261;
inline constexpr std::uint32_t kConsoleReady = 262;
// Details of the light beyond the three results, and the verdict for colour work.
inline constexpr std::uint32_t kDetailsExpander = 270;
inline constexpr std::uint32_t kDetailsTemperature = 271;
inline constexpr std::uint32_t kDetailsRendering = 272;
inline constexpr std::uint32_t kDetailsVerdict = 273;
inline constexpr std::uint32_t kDetailsPass = 274;
inline constexpr std::uint32_t kDetailsFail = 275;
inline constexpr std::uint32_t kDetailsTargetLux = 276;
inline constexpr std::uint32_t kDetailsTargetWhite = 277;
inline constexpr std::uint32_t kDetailsNotAvailable = 278;
inline constexpr std::uint32_t kDetailsSave = 279;
inline constexpr std::uint32_t kDetailsSaveFailed = 280;

// Dialog texts: dialog template id x 100 + item. A language module translates these with
// the string table.
inline constexpr std::uint32_t kAboutCaption = 10000;  // about dialog, template 100
inline constexpr std::uint32_t kAboutProduct = 10001;
inline constexpr std::uint32_t kAboutVersion = 10002;
inline constexpr std::uint32_t kAboutOk = 10003;
inline constexpr std::uint32_t kMainCaption = 10300;  // main dialog, template 103
inline constexpr std::uint32_t kMainStart = 10301;
inline constexpr std::uint32_t kMainExit = 10302;
inline constexpr std::uint32_t kMainAbout = 10303;
inline constexpr std::uint32_t kMainSourceTypeLabel = 10304;
inline constexpr std::uint32_t kMainColorTemperatureLabel = 10305;
inline constexpr std::uint32_t kMainKelvinLabel = 10306;
inline constexpr std::uint32_t kMainIlluminanceLabel = 10307;
inline constexpr std::uint32_t kMainLuxLabel = 10308;
inline constexpr std::uint32_t kStepCaption = 13000;  // step dialog, template 130
inline constexpr std::uint32_t kStepCancel = 13001;

}  // namespace app::ids

#endif  // RESOURCES_STRING_IDS_H

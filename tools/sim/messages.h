// Message numbers of the mixer protocol (header bits 5-0). Commands and the
// replies that report the same configuration share a number.
#ifndef SIM_MESSAGES_H
#define SIM_MESSAGES_H

#include <cstdint>

namespace ksim::msg {

// Replies and events.
constexpr uint8_t kFirmware = 1;
constexpr uint8_t kValue4 = 4;
constexpr uint8_t kComm = 11;
constexpr uint8_t kCough = 12;
constexpr uint8_t kVoiceTrack = 13;
constexpr uint8_t kAutoOn = 17;
constexpr uint8_t kCueReset = 18;
constexpr uint8_t kOnAirConfig = 19;
constexpr uint8_t kCrmMuteConfig = 20;
constexpr uint8_t kCrmAutoCueReset = 21;
constexpr uint8_t kStudioRemote = 22;
constexpr uint8_t kCueInterlock = 23;
constexpr uint8_t kGpo = 24;
constexpr uint8_t kCueConfig = 25;
constexpr uint8_t kOnConfig = 26;
constexpr uint8_t kFaderReserve = 27;
constexpr uint8_t kSilenceDetection = 28;
constexpr uint8_t kPhantom = 29;
constexpr uint8_t kMicAtLine = 30;
constexpr uint8_t kAutoOff = 31;
constexpr uint8_t kModuleOn = 32;
constexpr uint8_t kStatusFlags = 33;
constexpr uint8_t kFader = 34;
constexpr uint8_t kValue35 = 35;
constexpr uint8_t kModuleSource = 36;
constexpr uint8_t kNonStop = 37;
constexpr uint8_t kMicOn = 38;
constexpr uint8_t kValue39 = 39;
constexpr uint8_t kOnAir = 40;
constexpr uint8_t kSilence = 41;
constexpr uint8_t kValue42 = 42;
constexpr uint8_t kCrmMute = 43;
constexpr uint8_t kTrackState = 44;
constexpr uint8_t kPhone = 45;
constexpr uint8_t kMeters = 48;
constexpr uint8_t kLockedOn = 49;
constexpr uint8_t kPgmAutoOff = 50;
constexpr uint8_t kMicOnTrigger = 51;

// Commands without a reply of the same number.
constexpr uint8_t kCtrlLed = 2;
constexpr uint8_t kCtrlLedBlink = 3;
constexpr uint8_t kRemoteOn = 5;
constexpr uint8_t kRemoteCue = 6;
constexpr uint8_t kRemoteCueReset = 7;
constexpr uint8_t kAutoCueAnnouncer = 8;
constexpr uint8_t kAutoCueCrm = 9;
constexpr uint8_t kRemoteNonStop = 10;
constexpr uint8_t kConfigSave = 16;

}  // namespace ksim::msg

#endif  // SIM_MESSAGES_H

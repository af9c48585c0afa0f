#pragma once
// Where the wizard's controls stand in its root view of width W and height H (the window's 720 x 547 on its
// logical grid). The program lays its views out with these, and the build writes them out for the scripts that
// drive the wizard and judge its pictures (wizard-layout.sh), so that a place is stated once.
#include <cstdint>

#include "toolkit/UITypes.h"

// The window's size on its logical grid: the size of every page picture.
constexpr int32_t kInstallerWindowWidth = 720;
constexpr int32_t kInstallerWindowHeight = 547;

constexpr UIRect installButtonFrame(int32_t width, int32_t height) { return {width - 67, (height - 160) / 2, 44, 160}; }
constexpr UIRect finishButtonFrame(int32_t width, int32_t height) { return {width - 67, height - 150, 44, 105}; }
constexpr UIRect closeButtonFrame(int32_t width) { return {width - 46, 11, 35, 30}; }
constexpr UIRect minimizeButtonFrame(int32_t width) { return {width - 82, 11, 35, 30}; }
constexpr UIRect agreementBoxFrame() { return {587, 74, 16, 16}; }
constexpr UIRect agreementLinkFrame() { return {584, 310, 24, 160}; }
constexpr UIRect recommendLinkFrame() { return {664, 68, 22, 136}; }
constexpr UIRect progressBarFrame(int32_t width, int32_t height) { return {11, height - 41, width - 22, 30}; }
// The strip along the panel's top edge that drags the window: its top 30 rows, up to the minimize button.
constexpr UIRect dragStripFrame() { return {0, 10, 639, 30}; }

// The plug-in's commands by their index in its table, from 0, as the host's
// execute call takes them: one list for the behaviour tests, the soak and the
// benchmarks, which reach the plug-in through its exports only.
#pragma once

namespace symtest {

constexpr int kDrawingFn = 0;
constexpr int kSwitch = 1;
constexpr int kCreate = 2;
constexpr int kReloadIni = 3;
constexpr int kSwitchTolerance = 4;
constexpr int kSmartResym = 5;
constexpr int kRaiseTolerance = 6;
constexpr int kLowerTolerance = 7;
constexpr int kReposition = 8;

}  // namespace symtest

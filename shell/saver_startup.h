// The one start-up routine every front end calls. Whatever a saver process needs before its first
// message (the fatal mode, the storable classes, the embedded resources, the application record with
// its clock and sound sink, the services through which the static data reaches the application) is set
// up here in one place, so that no front end can forget a step; a front end only supplies its seams.
//
//   FrontEndSeams seams;
//   seams.clock = &myClock; seams.sound = &mySink; seams.warning = ShowWarningBox;
//   seams.registerResources = RegisterGeneratedResources;   // front ends without a .rc
//   SaverProcess process(seams);
//   process.Run(commandLine, myPlatform);                    // RunApplication over the platform
//
// The deterministic capture (TILLANDS_CAPTURE_DIR and friends, see frame_capture.h) is read here as
// well: with it, any front end runs on the simulated clock and writes its first presented frames, so a
// window on Windows or Linux can be compared byte for byte with the headless renderer.
#pragma once

#include <functional>
#include <memory>

#include "base/xb_error.h"
#include "shell/command_line.h"
#include "shell/frame_capture.h"

struct SaverApplication;
class SaverClock;
class SoundSink;
class SaverPlatform;

struct FrontEndSeams {
  SaverClock* clock = nullptr;  // null: a steady millisecond clock
  SoundSink* sound = nullptr;   // null: no sound at all
  // The static data's warnings ("Warning!" box on Windows). Must return. Empty: a line on stderr.
  std::function<void(const char* text)> warning;
  XB_FatalMode fatalMode = XB_FatalMode::Abort;
  // Shows a fatal error to the user and ends the process (Windows: the saver's own message box).
  XB_FatalReporter fatalReporter = nullptr;
  // Registers embedded resources (the generated table); null where the platform has its own (.rc).
  void (*registerResources)() = nullptr;
  // The capture options; by default read from the environment (a headless run passes its own).
  bool readCaptureFromEnvironment = true;
};

class SaverProcess {
 public:
  explicit SaverProcess(const FrontEndSeams& seams);
  // Destroys the static data (if a window left it), the record, and resets the services.
  ~SaverProcess();
  SaverProcess(const SaverProcess&) = delete;
  SaverProcess& operator=(const SaverProcess&) = delete;

  SaverApplication& App() { return *app_; }
  // The capture in force (inactive unless the environment or the caller asked for one).
  FrameCapture& Capture() { return *capture_; }
  // RunApplication over the platform.
  RunMode Run(const char* commandLine, SaverPlatform& platform);

 private:
  SaverApplication* app_ = nullptr;
  std::unique_ptr<FrameCapture> capture_;
};

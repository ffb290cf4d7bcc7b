// The simulated video port engine: a thread that, at the field rate of what the
// selected input carries, renders a field as the decoder is programmed, prescales it
// as the port is configured, writes it as UYVY into the overlay's back buffer and
// flips, and toggles the field bit in the board driver's status block.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "capture/BoardDriverApi.h"
#include "shared/VideoStandards.h"

class SimBoard;

// How the video port is configured (from StartVideo / UpdateVideo).
struct VideoPortSetup {
  int fieldWidth = 720;
  int fieldHeight = kFieldHeight240;     // VideoPortFieldHeight of the standard
  bool prescale = false;                 // DDVP_PRESCALE
  int prescaleWidth = 720;               // picture width written per line
  int prescaleHeight = kFieldHeight240;  // lines written per field
  bool autoflip = true;                  // DDVP_AUTOFLIP: flip after every field
};

// Where the engine writes: the overlay surface's back buffer, then a flip.
// Both calls come from the engine thread; the implementation locks what it must.
class FieldTarget {
 public:
  virtual ~FieldTarget() = default;
  // A buffer of at least `height` rows of `pitch` bytes, or nullptr to skip this field
  // (surface lost or being torn down).
  virtual uint8_t* BeginField(int& pitch, int& width, int& height) = 0;
  // The field is complete; with autoflip the back buffer becomes the front buffer.
  virtual void EndField(bool flip) = 0;
};

struct VideoEngineStats {
  uint64_t rendered = 0;
  uint64_t missed = 0;
  double seconds = 0.0;       // the port has run, over all its starts
  double measuredRate = 0.0;  // rendered / seconds
  double fieldRate = 0.0;     // fields per second the port is paced at now (59.94 or 50)
};

class VideoEngine {
 public:
  explicit VideoEngine(SimBoard& board);
  ~VideoEngine();  // stops the thread; writes the statistics line when asked to
  VideoEngine(const VideoEngine&) = delete;
  VideoEngine& operator=(const VideoEngine&) = delete;

  // Called first on the port's thread each time it starts: the platform's side raises
  // the thread's priority there, as the port is hardware that never waits for a processor.
  void SetThreadStartHook(void (*hook)());
  // How the port's thread sleeps a number of milliseconds to each field's time; without
  // one, the standard library's sleep. The platform's side gives its own: under Wine the
  // library's sleep is a timed wait through the server process, late on a busy machine.
  void SetSleepHook(void (*sleepMs)(uint32_t ms));

  // StartVideo: begins delivering fields to `target` (replacing any earlier target).
  void Start(FieldTarget* target, const VideoPortSetup& setup);
  // UpdateVideo: new geometry for the running port.
  void Update(const VideoPortSetup& setup);
  // StopVideo, or the target going away: no field is written after this returns.
  void Stop();
  bool Running() const;

  VideoEngineStats Stats() const;
  // Where the statistics line goes when the board powers down ("" for nowhere).
  void SetStatsFile(const std::string& path);

  // The board driver's status block; the field bit toggles once per field.
  uint8_t* DriverStatusBlock();

  // Where the pictures' clocks start, in seconds since midnight; by default the local
  // time when the engine was built. Tests pin it so that a field's bytes are repeatable.
  void SetClockOrigin(double secondsOfDay);

  // Renders one field into `dst` synchronously, as the thread would (tests, benchmarks).
  void RenderField(uint8_t* dst, int pitch, const VideoPortSetup& setup, uint64_t fieldNumber);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

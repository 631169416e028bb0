// Sound cues: every sound of the scenes goes through PlaySoundCue, which turns a cue name into the name
// of an embedded sound, applies the sound setting and hands it to the front end's sound sink.
#pragma once

#include "scene/saver_application.h"

// Nothing happens for a null name or with sound off (and then no random number is drawn). "baby" and
// "sheep" (any letter case) get a number 1..4 or 1..5 appended; "prayingman" plays 16 times in 100.
void PlaySoundCue(SaverApplication& app, const char* name);

// The sound-cue service for the static data's application seam (SetApplicationServices): plays the
// cue with g_application, nothing when there is none.
void PlayApplicationSoundCue(const char* name);

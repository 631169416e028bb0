// The creature names the scenes and the walker chooser look up in the static data. A data set that
// lacks one of them leaves the scenes that want it empty, so the asset tool's data check and the test
// worlds take their names from this one list.
#pragma once

inline constexpr const char* kSceneCreatures[] = {"civilian",
                                                  "woman_01",
                                                  "girl_00",
                                                  "boy_00",
                                                  "rabbit",
                                                  "sheep",
                                                  "sheepnude",
                                                  "soldier_a",
                                                  "soldier_b",
                                                  "soldier_c",
                                                  "baby_male",
                                                  "baby_female",
                                                  "stork",
                                                  "scout_master",
                                                  "constructionworker_trainee",
                                                  "constructionworker_master",
                                                  "woodworker_trainee",
                                                  "clayworker_trainee",
                                                  "fisher_trainee"};

#pragma once
#include <QString>

// Plays a WAV resource without waiting for it; a machine without a sound
// output plays nothing and says nothing.
void playSoundResource(const QString& resourcePath);

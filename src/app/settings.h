#pragma once
// The remembered settings of duzarizered.ini that start-up applies and
// closing writes back.

class MainWindow;

void loadIniSettings(MainWindow& window);
void saveIniSettings(MainWindow& window);

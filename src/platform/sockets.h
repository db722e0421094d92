#pragma once
// Waiting on a network socket the program does not read through Qt (the
// database server's connection).

// True when socket has something to read (data, or the other end closed it)
// within milliseconds (0: only what is there now); false when the time ran
// out or the wait failed.
bool waitUntilReadable(int socket, int milliseconds);

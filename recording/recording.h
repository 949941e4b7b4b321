// Recording: one game as a small text file, its seed, its field and each input with the
// tick it came in, so that the game can be played again exactly.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The version in a recording's first line. It names the rules as well as the format: a
// change of the game that would play an old recording differently, or of what the lines
// say, takes a new number, and recordings of any other number are refused.
constexpr int RECORDING_VERSION = 1;
// The first line is this word, a blank and the version.
constexpr char RECORDING_MAGIC[] = "glimpwatch-recording";
// The name of a recording file ends so.
constexpr char RECORDING_SUFFIX[] = ".replay";
// The most bytes a recording file may have: hours of busy play take a few megabytes.
constexpr std::size_t RECORDING_MAX_BYTES = 64u << 20;

// What the player did, in the order it came.
enum RecordedInput {
    INPUT_PRESS = 0,   // a button pressed on the field at (x, y)
    INPUT_RELEASE = 1, // released at (x, y), which may lie off the field
    INPUT_LEAVE = 2,   // the pointer left the field (the game pauses)
    INPUT_ENTER = 3,   // and came back
    INPUT_PAUSE = 4,   // the Pause entry chosen
    INPUT_WARP = 5,    // a warp to level x during play
};

struct RecordedEvent {
    int tick;   // the number of the game's ticks that had run when it came
    int input;  // RecordedInput
    int x;
    int y;
};

// How the game ended.
enum GameEnding {
    ENDED_OVER = 0,      // lost: the End Game dialog came up
    ENDED_LEFT = 1,      // left for a new game, or to watch one
    ENDED_QUIT = 2,      // the player quit (or closed the window)
};

struct Recording {
    unsigned seed = 0;   // the game's own random stream (base/random.h)
    int size = 0;        // the field's side in pixels
    int level = 0;       // the level the game started at
    // The outcome: how it ended, after how many ticks, and the final score and level.
    int ending = ENDED_OVER;
    int ticks = 0;
    int score = 0;
    int final_level = 0;
    // The bucket was still held when the game started (let go of in no game since); a
    // replay starts so.
    bool bucket_held = false;
    std::string name;    // the name entered for the high-score table; empty when none
    std::vector<RecordedEvent> events;
};

namespace RecordingText {

// The file's text.
std::string write(const Recording &recording);
// Reads a whole file's text. False with a short reason (no file name) when it is not a
// recording, comes from another version, is damaged, is cut short or has its events out of
// order; the recording is then unspecified.
bool parse(const std::string &text, Recording &recording, std::string *reason);
// Reads only the lines before the first event: the seed, the field, the outcome and the
// name, from the start of a file (a few hundred bytes suffice).
bool parse_header(const std::string &start, Recording &recording, std::string *reason);
// The name of an ending as the file writes it: "over", "left" or "quit".
const char *ending_name(int ending);

} // namespace RecordingText

// Reading the console's mix (--read-console, --follow): a query for each value the console keeps
// of what Quillon drives, and with names for each strip's name, several at a time; the window set
// from the answers. Nothing else is sent and no handler runs.
#pragma once

struct Program;

struct ReadResult {
    int asked = 0;    // different questions
    int answered = 0; // of them
};

// Asks, shows each answer as it comes, and ends once every question is answered, asked twice
// without an answer, or nothing has answered for a second. The wait cursor shows meanwhile.
ReadResult ReadConsoleMix(Program& program, bool names);

// Tells the user when answers of the read at start are missing.
void TellUnanswered(Program& program, const ReadResult& result);

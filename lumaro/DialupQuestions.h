#pragma once
// When the main client asks whether to hang up a dial-up connection, and what it does without
// asking, as plain data: the three places (end of a transfer, closing the program, releasing the
// dial-up button) differ only in whether a connection the agent did not open counts, and in their
// warning flag and remembered answer.

enum class THangUpPlace { AfterTransfer, AtEnd, ButtonReleased };
enum class THangUpStep { Skip, Ask, HangUp };

struct THangUpInput {
    bool HasConnection = false;
    // Also for a connection the agent did not open (closing the program, the button).
    bool Force = false;
    bool OwnConnection = false;
    // The place's warning flag: true = ask.
    bool Warning = true;
    bool Remembered = true;
};

THangUpStep DecideHangUp(const THangUpInput& input);

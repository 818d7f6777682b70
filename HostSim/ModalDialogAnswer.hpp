#ifndef HOSTSIM_MODALDIALOGANSWER_HPP
#define HOSTSIM_MODALDIALOGANSWER_HPP

#include "Transcript.hpp"

#include "DGDialog.hpp"

#include <string>
#include <vector>

namespace HostSim {

// One thing the user does in a modal dialog.
struct DialogStep {
    enum class Kind {
        Type,     // replaces the text of text edit `item` with `text`, as far as its length limit lets
        Click,    // clicks button `item`
        CloseBox, // clicks the dialog's close box (a close request by cancellation)
        Respond,  // the dialog's default button or Escape: a close request with `response`
    };
    Kind kind = Kind::Respond;
    short item = 0;
    std::string text;
    DG::ModalDialog::ModalResponse response = DG::ModalDialog::Cancel;
};

// What the user does in one modal dialog, step by step.
using DialogAnswer = std::vector<DialogStep>;

// Reads a scenario's "dialog" answer: "accept" or "cancel" (also 1 and 2), or an array of steps, each
// {"type": text, "item": n}, {"click": n} or {"close": true}. Throws std::invalid_argument naming the fault.
DialogAnswer ParseDialogAnswer(const Line& value);

// Plays the steps on a running dialog until it has closed, writing each step and the alerts it raises to the
// transcript. Steps left after the dialog closed are dropped with an error line.
void PlayDialogAnswer(DG::ModalDialog& dialog, const DialogAnswer& answer, Transcript& transcript);

// The line that shows a dialog as it opens: id, title and its items with their kinds and texts.
Line DescribeDialog(const DG::ModalDialog& dialog);

} // namespace HostSim

#endif

#pragma once
// What the Start, Erase, Bulk Erase and "S9" commands send on each module path, as data: one
// row a group of paths, each row the bytes and settles of its steps in order. The commands
// read their row; nothing here is spelt again in code.
#include "terminal/core/ModulePaths.h"

#include <string>
#include <vector>

namespace upload {

struct Step {
    enum class Kind {
        Send,            // bytes through CommOut
        Settle,          // TxSettle(ms)
        RemoteSetup,     // the ACU's remote-upload setup ("Remote Upload / Lock Ports")
        VantorBootStart, // the Vantor's bootloader start ("^BL", the port closed and reopened)
        OrlaBootStart,   // the Orla PCU's bootloader start through the Vantor
        OrlaErase,       // the Orla PCU's erase attempts
    };
    Kind kind;
    std::string bytes; // Send
    int ms = 0;        // Settle
    bool operator==(const Step&) const = default;
};

struct StepRow {
    std::vector<term::ModulePath> paths; // empty: every path no other row names
    std::vector<Step> steps;
};

// The tables in the order their rows are looked up.
const std::vector<StepRow>& startTable();
const std::vector<StepRow>& eraseTable();
const std::vector<StepRow>& bulkEraseTable();
const std::vector<StepRow>& restartBootTable(); // the "S9" button; other paths send nothing

// The steps of a path in a table (the row naming it, else the row for every other path, else
// none).
const std::vector<Step>& stepsFor(const std::vector<StepRow>& table, term::ModulePath p);

// Path groups of the uploads.
bool isAcu(term::ModulePath p);         // Tav 07 / Tav 8K to ACU
bool isPcuViaAcu(term::ModulePath p);   // Tav 07 / Tav 8K to PCU
bool isDvb(term::ModulePath p);         // Tav 07 / Tav 8K / Brine PCU to DVB
bool isModem(term::ModulePath p);       // Tav 8K to BDE / ADE Modem
bool isAcuRouted(term::ModulePath p);   // every path through the ACU's translation port
// The character before every fragment on an ACU-routed path: "w" for the DVB paths, else "#".
char fragmentPrefix(term::ModulePath p);

} // namespace upload

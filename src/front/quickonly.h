#pragma once
// `ravodor --at DATE --only [--] COMMAND [ARG...]` without Qt, for the
// date written YYYY-MM-DD[THH:MM[:SS]]: what a test rig repeats. It does
// what the QtCore part does in that case (runonly.h), the same environment
// and statuses; anything it cannot carry out exactly, every refusal among
// them, it leaves to that part, which says why.

// COMMAND's status, or the exit code of a start that failed; -1 when the
// arguments are not that form or a check refuses them: nothing is done then.
int quickOnly(int argc, char** argv);

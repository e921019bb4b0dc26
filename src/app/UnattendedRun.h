#pragma once
// The wizard with nobody at it: every page passed by its next button, and what the run did.

#include <string>
#include <vector>

#include "app/RecordingView.h"
#include "app/RunResult.h"
#include "app/dlgEasySetup.h"

namespace kv::app {

// The exit code the program ends with after a run with that outcome.
int ExitCodeOf(TRunOutcome outcome);

// How a wizard that has ended ended: a cancel rolled back, no client or no copy changed nothing.
TRunOutcome OutcomeOf(const TfrmEasySetup& form);

// Runs the wizard on view (the one the form was made with) from its creation to its end, as the
// window would with the next button pressed on every page: settings.ini's preselections choose,
// and the pages it hides count as theirs. A running client, a missing package or an error before
// the update change nothing; an update that cannot complete is rolled back.
TRunOutcome RunUnattended(TfrmEasySetup& form, IEasySetupView& view,
                          const std::string& programFolder);

// What the run that ended with outcome did, as the result document says it.
TRunResult DescribeRun(const TfrmEasySetup& form, const TRecordingView& recording,
                       TRunOutcome outcome, int exitCode);

// The lines a log file starts with: the program and its version, the package, the client found
// with its version and folders, the user and the command line.
std::vector<std::string> StartupFacts(const std::string& programFile,
                                      const std::string& programFolder, const std::string& user,
                                      const std::string& commandLine);

}  // namespace kv::app

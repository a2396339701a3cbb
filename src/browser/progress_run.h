#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace velm {

class TWorkGuard;

// Told how far a long run over files has got; returns false to stop it.
using TStepProgress = std::function<bool(int done, int total, const QString& path)>;

// Runs the work under the guard with a window-modal progress dialog, whose label says
// "<verb> <file> (n of m)". The work is told to stop after Cancel or a close of the
// main window. False when other guarded work ran, or the work was stopped.
bool RunWithProgress(QWidget* parent, TWorkGuard& guard, const QString& title, const QString& verb,
                     const std::function<bool(const TStepProgress&)>& work);

// How long a run goes between redraws of its progress, which are the turns the event
// loop gets: a step can take microseconds, a redraw paints the dialog. 0 gives a turn
// before every step.
inline int ProgressIntervalMs = 100;

}  // namespace velm

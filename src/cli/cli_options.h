#pragma once

#include <string>
#include <vector>

#include "job_settings/job_settings.h"

// What the command line asked for.
struct CliOptions {
  JobSettings settings;
  bool answerYes = false;  // -y: answers the keep-contents question
  bool json = false;       // --json: one JSON object instead of the table
  int jobs = 0;            // -j N: conversion threads; 0 = one per hardware thread
  bool update = false;     // -u: leave outputs alone that are newer than their sources
  bool help = false;
  bool version = false;
};

// Parses the arguments after the program name. Short options may be grouped
// ("-ay"); "--" ends the options. The thread count follows -j as the rest of
// its argument or as the next one ("-j4", "-j 4", "--jobs 4", "--jobs=4"). False with a one-line reason in
// `error` for an unknown option, a bad thread count or a wrong number of folders. As in the dialog, the
// keep-contents option clears the repair option.
bool ParseCliArguments(const std::vector<std::string>& arguments, CliOptions& options, std::string& error);

// The folder as an absolute path: a relative text is put below `current`.
// The walk joins names onto its folders and resolves "." and ".." as it
// does so, which only keeps the meaning of a path that starts at a root.
// An empty text stays empty (the start check reports it).
std::u16string AbsoluteFolder(const std::u16string& folder, const std::u16string& current);

// The --help text.
std::string CliUsageText();

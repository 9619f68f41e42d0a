#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "job/conversion_job.h"
#include "job/folder_result.h"

// The columns a terminal needs for the text: 2 for East Asian wide and
// full-width characters, 0 for combining marks, 1 for the rest.
std::size_t DisplayWidth(std::u16string_view text);

// The longest tail of the text that fits in `columns` (a leading "..." marks
// the cut), for the live progress line.
std::u16string FitToColumns(std::u16string_view text, std::size_t columns);

// The result table (the seven columns in walk order), then for each folder
// its failed files ("name: reason" when the reason is known), the files kept
// unconverted, the chart references found missing and the files no chart
// names, then the totals line. UTF-8. Control characters in folders and
// names are shown escaped (VisibleText).
std::string ResultTableText(const std::vector<FolderResult>& rows, const RunTotals& totals, bool cancelled,
                            bool referencesChecked = false);

// One missing reference as the table lists it: chart, line (or JSON path),
// command and value, and whether the input lacked it too.
std::string MissingReferenceText(const MissingReference& missing);

// True when a reference that the input resolves is missing in the output.
bool OutputLostReferences(const std::vector<FolderResult>& rows);

// The totals line alone: files, bytes read, bytes written, space saved, and
// after a reference check the bytes of the files no chart names.
std::string TotalsLineText(const RunTotals& totals, bool referencesChecked = false);

// The same results as one JSON object (UTF-8, one line, newline at the end).
// Each row carries `errorReasons`, parallel to `errorFiles` ("" where no
// reason is known), and when the references were checked
// `missingReferences`, `unreferencedFiles` and `unreferencedBytes`; the
// totals then carry `unreferencedBytes` too.
std::string ResultJsonText(const std::vector<FolderResult>& rows, const RunTotals& totals, bool cancelled,
                           bool referencesChecked = false);

// A JSON string literal, quotes included. Besides what JSON requires, DEL
// and the C1 characters are escaped as \u00XX.
std::string JsonString(std::u16string_view text);

#pragma once

// Every message the system shows the user (its boxes and the folder picker's title), in one
// table. It sits in the lowest layer so that the link, the download and the windows name their
// texts from the same place.
namespace kelvra::messages {

// Discovery and the link monitor.
inline constexpr const char* kCannotReadParameters = "Cannot read parameters";
inline constexpr const char* kNoAcknowledge = "No Acknowledge";
inline constexpr const char* kNoAcknowledgeT1 = "No Acknowledge T1";

// Listing, deleting and clearing.
inline constexpr const char* kUnableToWritePort = "Unable to write communication port";
inline constexpr const char* kUnableToWritePort1 = "Unable to write communication port1";
inline constexpr const char* kUnableToReadPort = "Unable to read communication port";
inline constexpr const char* kTooManyRecordsListed =
    "More than 320 records: the latest ones are not listed";
inline constexpr const char* kAreYouSure = "Вы уверены?";
inline constexpr const char* kDeleteQuestion = "Удалить?";

// Downloading.
inline constexpr const char* kChooseFolder = "Выберите папку для сохранения";
inline constexpr const char* kTooManyRecordsSelected =
    "Too many records selected: at most 160 can be read at once";
// After "Line <n>: ", and followed by " (and <k> more lines)" when there are more.
inline constexpr const char* kRecordTooLong =
    "the record is too long to be read: a channel would hold 4 GiB or more";
inline constexpr const char* kUnableToCreateFile = "Unable to create file";
inline constexpr const char* kUnableToWriteFile = "Unable to write file";
inline constexpr const char* kUnableToWritePortA2 = "Unable to write communication port A2";
inline constexpr const char* kUnableToWritePortB2 = "Unable to write communication port B2";
inline constexpr const char* kUnableToStartDownload =
    "Unable to start the download: no thread could be started";
// Reads checked against each other: none of four reads of a record gave the same bytes twice.
inline constexpr const char* kReadsDisagree =
    "four reads of the record gave different bytes: the line is too noisy to trust any of them";

}  // namespace kelvra::messages

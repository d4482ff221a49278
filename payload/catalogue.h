// The payload catalogue: which "FILE" resource becomes which file, where,
// in which storage form and with which attribute, in install order. The
// entries come from resources/catalogue.def, the one list that the resource
// script is built from as well.
#pragma once

// Plain C++ types only, so that host tools and tests can read it too.

enum class PayloadDestination : unsigned char {
    MainProgram,       // install folder, through the main program replacement
    InstallFolder,
    WindowsDirectory,
    Uninstaller,       // Windows directory or install folder: the sequence decides
};

enum class PayloadForm : unsigned char {
    Raw,               // the resource is the file itself
    Compressed,        // the resource is an "SZDD" container
};

struct PayloadEntry {
    unsigned short id;                       // resource id, type "FILE"
    const char* fileName;           // name in the destination folder, exact case
    PayloadDestination destination;
    PayloadForm form;
    bool readOnly;                  // raw entries only
};

#define PAYLOAD_DESTINATION_MAIN_PROGRAM      PayloadDestination::MainProgram
#define PAYLOAD_DESTINATION_INSTALL_FOLDER    PayloadDestination::InstallFolder
#define PAYLOAD_DESTINATION_WINDOWS_DIRECTORY PayloadDestination::WindowsDirectory
#define PAYLOAD_DESTINATION_UNINSTALLER       PayloadDestination::Uninstaller
#define PAYLOAD_FORM_RAW                      PayloadForm::Raw
#define PAYLOAD_FORM_COMPRESSED               PayloadForm::Compressed
#define PAYLOAD_READ_ONLY_YES                 true
#define PAYLOAD_READ_ONLY_NO                  false

// The whole catalogue in install order; kPayloadCatalogue[0] is entry 1.
inline constexpr PayloadEntry kPayloadCatalogue[] = {
#define PAYLOAD_ENTRY(number, id, fileName, destination, form, readOnly) \
    {id, fileName, PAYLOAD_DESTINATION_##destination, PAYLOAD_FORM_##form, PAYLOAD_READ_ONLY_##readOnly},
#include "resources/catalogue.def"
#undef PAYLOAD_ENTRY
};

enum {
    kPayloadEntryCount = sizeof(kPayloadCatalogue) / sizeof(kPayloadCatalogue[0]),
    kMainProgramEntry = 0,                      // entry 1
    kCompanionEntry = kPayloadEntryCount - 2,   // entry 38
    kUninstallerEntry = kPayloadEntryCount - 1, // entry 39
};

// The sequence relies on this shape: the main program first, then the
// install folder's files, then the companion, then the uninstaller.
constexpr bool payload_catalogue_is_well_formed()
{
    if (kPayloadCatalogue[kMainProgramEntry].destination != PayloadDestination::MainProgram ||
        kPayloadCatalogue[kCompanionEntry].destination != PayloadDestination::WindowsDirectory ||
        kPayloadCatalogue[kUninstallerEntry].destination != PayloadDestination::Uninstaller)
        return false;
    for (int i = 1; i < kCompanionEntry; ++i)
        if (kPayloadCatalogue[i].destination != PayloadDestination::InstallFolder)
            return false;
    for (int i = 0; i < kPayloadEntryCount; ++i) {
        if (kPayloadCatalogue[i].readOnly && kPayloadCatalogue[i].form != PayloadForm::Raw)
            return false;
        for (int j = 0; j < i; ++j)
            if (kPayloadCatalogue[i].id == kPayloadCatalogue[j].id)
                return false;
    }
    return true;
}
static_assert(kPayloadEntryCount == 39, "the catalogue has 39 entries");
static_assert(payload_catalogue_is_well_formed(), "catalogue order, forms or ids are off");

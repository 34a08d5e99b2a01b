#pragma once

#include "XTGroups.h"

#include <QString>

namespace XTHost
{

class HostState;

// The function tables of the groups the host offers, and the entry points of
// the setup record. Each table lives in its own source.
namespace Api
{

const XTStringsTable& stringsTable();
const XTProjectTable& projectTable();
const XTSpreadTable& spreadTable();
const XTDocTable& docTable();
const XTBoxTable& boxTable();
const XTBoxFieldsTable& boxFieldsTable();
const XTPictureTable& pictureTable();
const XTTextTable& textTable();
const XTAssetsTable& assetsTable();
const XTColorsTable& colorsTable();
const XTNumbersTable& numbersTable();
const XTFilesTable& filesTable();
const XTPlatformTable& platformTable();
const XTMenusTable& menusTable();
const XTResourcesTable& resourcesTable();
const XTPreferencesTable& preferencesTable();
const XTRenderingTable& renderingTable();
const XTGifFilterTable& gifFilterTable();

// String `index` of list `listId` of a resource set, or 0.
HostString loadPluginString(int32_t listId, int32_t index, XTResourceSet set);
// FSRead and FSWrite on an open preferences file.
XTOSErr readFile(XTFileRef file, int32_t* count, void* buffer);
XTOSErr writeFile(XTFileRef file, int32_t* count, const void* buffer);

XTError acquireGroup(uint32_t group, int32_t version, const void** table);
XTError resolveSelector(int32_t selector, void** function);
XTError installCallback(int32_t xtId, int32_t code, XTUserCallbackProc handler, uint16_t kind,
                        int16_t priority, XTCallbackId* id, unsigned long userData);
XTError removeCallback(int32_t code, XTCallbackId id);
XTError installSetupCallback(int32_t code, XTCallbackProc handler, int32_t kind, int32_t priority,
                             int32_t reserved);

// Selector functions.
XTError editCopy(int32_t what, int32_t flags, int32_t toClipboard, int32_t options);
XTError editPaste(XTBoxRef box, int32_t what, int32_t flags, int32_t options);
XTError getBoxGeometry(XTBoxRef box, XTBoxGeometry* geometry);

// A HostString of a text, or 0 without a host.
HostString hostString(const QString& text);
// The text of a HostString; empty for 0 or an unknown one.
QString stringOf(HostString handle);

} // namespace Api
} // namespace XTHost

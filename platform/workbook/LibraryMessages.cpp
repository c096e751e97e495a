#include "platform/workbook/LibraryMessages.h"

#include <glib.h>
#include <libxml/xmlerror.h>

namespace morvane::platform {
namespace {

void dropLogMessage(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

void dropXmlMessage(void*, const char*, ...) {}

}  // namespace

void quietLibraryMessages() {
  static const bool installed = [] {
    constexpr auto kAll = static_cast<GLogLevelFlags>(G_LOG_LEVEL_MASK | G_LOG_FLAG_FATAL | G_LOG_FLAG_RECURSION);
    // libgsf logs under "libgsf" and sub-domains of it; GObject's and GLib's checks fire when
    // libgsf hands on a null object from a damaged file.
    for (const char* domain : {"libgsf", "libgsf:msole", "libgsf:zip", "libgsf:utils", "GLib", "GLib-GObject", "GLib-GIO"}) {
      g_log_set_handler(domain, kAll, dropLogMessage, nullptr);
    }
    // Messages without a domain of their own.
    g_log_set_default_handler(dropLogMessage, nullptr);
    // The parsers report their errors through their own callbacks; this is the fallback
    // printer that would write anything else to stderr.
    xmlSetGenericErrorFunc(nullptr, dropXmlMessage);
    return true;
  }();
  (void)installed;
}

}  // namespace morvane::platform

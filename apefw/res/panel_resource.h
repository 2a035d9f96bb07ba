/* panel_resource.h - what the settings panel's resource script and its code must agree on: the
 * dialog template's number, the ids of the controls the code talks to, and the web address that the
 * link label shows (the template's text) and opens (the code's constant). Plain #defines, so that
 * both the resource compiler and C++ read it. */
#ifndef APEFW_PANEL_RESOURCE_H
#define APEFW_PANEL_RESOURCE_H

#define APE_PANEL_DIALOG 101
#define APE_PANEL_LINK 1008    /* push button that becomes the link label */
#define APE_PANEL_STRIP 1020   /* owner-drawn colour strip */
#define APE_PANEL_COUNT 1025   /* edit box: how many colours the cycle uses */
#define APE_PANEL_ON_BEAT 1026 /* check box: a beat makes the cycle jump */

/* APE_WEB_ADDRESS, the build setting of the same name (cmake/WebAddress.cmake checks it): at most
 * 31 characters, since the label paints its window text from a 32-byte buffer; about 20 fit the
 * label's width (67 dialog units of the label font). */
#include "ape_web_address.h"

#endif /* APEFW_PANEL_RESOURCE_H */

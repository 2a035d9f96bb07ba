# APE_WEB_ADDRESS: the web address the settings panel's link label shows and opens, a build setting
# (apefw writes it into the panel's header; the Windows install guide names it). The label
# paints its text from a 32-byte buffer, so at most 31 characters show; the address is written
# into a C string and the dialog template's text, and the label hands it to the shell to open, so
# it must be a plain http or https address.
set(APE_WEB_ADDRESS_DEFAULT "https://example.org")  # a placeholder until the project has a home page
set(APE_WEB_ADDRESS_MAX_LENGTH 31)

# ape_check_web_address(address): stops the configuration, saying why, when address is not usable.
function(ape_check_web_address address)
  string(LENGTH "${address}" length)
  if(length GREATER APE_WEB_ADDRESS_MAX_LENGTH)
    message(FATAL_ERROR "APE_WEB_ADDRESS \"${address}\" has ${length} characters; the settings "
                        "panel's link label shows at most ${APE_WEB_ADDRESS_MAX_LENGTH}")
  endif()
  # Printable ASCII but the space, '"' and '\': the class is ]..~, ! and #..[.
  if(NOT address MATCHES "^https?://[]-~!#-[]+$")
    message(FATAL_ERROR "APE_WEB_ADDRESS \"${address}\" is not an http:// or https:// address of "
                        "printable characters without spaces, quotes or backslashes")
  endif()
endfunction()

set(APE_WEB_ADDRESS "${APE_WEB_ADDRESS_DEFAULT}" CACHE STRING
    "The web address the settings panel's link opens (http or https, at most 31 characters)")
ape_check_web_address("${APE_WEB_ADDRESS}")

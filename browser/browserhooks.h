#pragma once

// Process-wide hooks on the views: a wheel turn over a view that does not
// have the keyboard focus first moves the focus into its page; a window
// activated again gives the focus back to the page that had it. Installed
// once, with the first view.
namespace BrowserHooks {

void Install();

} // namespace BrowserHooks

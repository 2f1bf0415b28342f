#pragma once

#include <QtCore/QString>

// The version of the web engine the views run on ("102.0.5005.177").
QString BrowserEngineVersion();

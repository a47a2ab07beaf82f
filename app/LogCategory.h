// Every line of the log pane also goes to this logging category, off by
// default; QT_LOGGING_RULES="rilvane.log=true" shows it.
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcRilvaneLog)

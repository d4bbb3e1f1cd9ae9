// The built program started as a process, the way a script or a timer starts it.
#pragma once

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <string>

#include "tests/support/temp_folder.h"

namespace quillrun::test {

struct ProcessResult {
    int code = -1;
    std::string out, err;
    bool crashed = false;
};

// The environment without a display: --run needs none, with --browser neither.
inline QProcessEnvironment EnvironmentWithoutDisplay() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return env;
}

inline ProcessResult RunProcess(const std::string& program, const QStringList& arguments,
                                const QProcessEnvironment& env = EnvironmentWithoutDisplay(),
                                int timeoutMilliseconds = 60000) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QString::fromStdString(program), arguments);
    bool finished = process.waitForFinished(timeoutMilliseconds);
    if (!finished)
        process.kill();
    return {finished ? process.exitCode() : -1, process.readAllStandardOutput().toStdString(),
            process.readAllStandardError().toStdString(),
            process.exitStatus() == QProcess::CrashExit};
}

// A copy of the built program in `folder` (which it then takes as its program folder).
inline std::string CopyOfBuiltProgram(const TempFolder& folder) {
    std::string program = folder / "quillrun";
    QFile::remove(QString::fromStdString(program));
    QFile::copy(QStringLiteral(QUILLRUN_TEST_DIST_DIR "quillrun"), QString::fromStdString(program));
    return program;
}

}  // namespace quillrun::test

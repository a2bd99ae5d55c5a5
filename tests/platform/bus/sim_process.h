// merrowind-sim run beside the test's main loop with its standard input and
// output as pipes: script lines go in as the test goes, and every line the
// peers print is collected. SIM_PATH names the program.
#pragma once

#include "tests/platform/bus/private_bus.h"

#include <gio/gio.h>

#include <string>
#include <vector>

class SimProcess {
public:
    explicit SimProcess(const std::vector<const char*>& args = {})
    {
        std::vector<const char*> argv{SIM_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        argv.push_back(nullptr);
        m_process = g_subprocess_newv(
            argv.data(), static_cast<GSubprocessFlags>(G_SUBPROCESS_FLAGS_STDIN_PIPE | G_SUBPROCESS_FLAGS_STDOUT_PIPE),
            nullptr);
        m_out = g_data_input_stream_new(g_subprocess_get_stdout_pipe(m_process));
        readNext();
    }
    ~SimProcess()
    {
        if (!m_eof)
            g_subprocess_force_exit(m_process);
        runUntil([this] { return m_eof; });
        g_subprocess_wait(m_process, nullptr, nullptr);
        g_object_unref(m_out);
        g_object_unref(m_process);
    }

    void send(const std::string& line)
    {
        std::string text = line + "\n";
        g_output_stream_write_all(g_subprocess_get_stdin_pipe(m_process), text.data(), text.size(), nullptr, nullptr,
                                  nullptr);
    }
    bool waitLines(size_t n) { return runUntil([&] { return lines.size() >= n; }); }
    // Waits for a line from index `from` on that contains `text`: its index,
    // or -1 when none came.
    long waitLine(const std::string& text, size_t from = 0)
    {
        long found = -1;
        runUntil([&] {
            for (size_t i = from; i < lines.size(); ++i)
                if (lines[i].find(text) != std::string::npos) {
                    found = static_cast<long>(i);
                    return true;
                }
            return false;
        });
        return found;
    }
    bool waitExit() { return runUntil([&] { return m_eof; }); }
    int status()
    {
        g_subprocess_wait(m_process, nullptr, nullptr);
        return g_subprocess_get_exit_status(m_process);
    }

    std::vector<std::string> lines;

private:
    void readNext()
    {
        g_data_input_stream_read_line_async(
            m_out, G_PRIORITY_DEFAULT, nullptr,
            [](GObject* source, GAsyncResult* result, gpointer data) {
                auto* self = static_cast<SimProcess*>(data);
                gchar* line = g_data_input_stream_read_line_finish(G_DATA_INPUT_STREAM(source), result, nullptr, nullptr);
                if (line == nullptr) {
                    self->m_eof = true;
                    return;
                }
                self->lines.push_back(line);
                g_free(line);
                self->readNext();
            },
            this);
    }

    GSubprocess* m_process = nullptr;
    GDataInputStream* m_out = nullptr;
    bool m_eof = false;
};


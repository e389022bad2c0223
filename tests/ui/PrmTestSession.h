#pragma once

#include "CKdPageCatalogue.h"
#include "CKdPrmManager.h"
#include "KdPrmCellView.h"
#include "KdPrmView.h"
#include "ScriptedPeer.h"

#include <QScrollArea>
#include <QTest>
#include <memory>

// Number rows whose edits need a reboot, one parameter each: address parts, as the address pages
// showed them before each address became one field. The first part of each address stays out,
// so that the rows are no address group.
namespace RebootRows {
using W = CKdPageCatalogue::EWidget;
inline const CKdPageCatalogue::_SRow kRows[] = {
    {"IP Address 2nd", W::Spin, 901, nullptr, nullptr, 1},
    {"IP Address 3rd", W::Spin, 902, nullptr, nullptr, 1},
    {"IP Address 4th", W::Spin, 903, nullptr, nullptr, 1},
    {"Subnet Mask 2nd", W::Spin, 911, nullptr, nullptr, 1},
    {"Subnet Mask 3rd", W::Spin, 912, nullptr, nullptr, 1},
    {"Subnet Mask 4th", W::Spin, 913, nullptr, nullptr, 1},
    {"SNTP Server Address 2nd", W::Spin, 501, nullptr, nullptr, 1},
    {"SNTP Server Address 3rd", W::Spin, 502, nullptr, nullptr, 1},
    {"SNTP Server Address 4th", W::Spin, 503, nullptr, nullptr, 1},
};
inline const CKdPrmManager::_SPrmReqInfo kRequests[] = {{901, 3}, {911, 3}, {501, 3}, {0, 0}};
inline const CKdPageCatalogue::_SPage kPage = {"Test",    "Reboot Rows", "KdPrmViewRebootRows",
                                               kRequests, 130,           kRows};
} // namespace RebootRows

// A session on a scripted switcher that answers the version request and parameter requests from
// `device`, and a shown window whose scroll area holds one page of the catalogue.
struct PrmTestSession {
    using Bytes = ScriptedPeer::Bytes;
    using Wires = std::vector<Bytes>;

    PrmTestSession() {
        peer.SetScript(
            [this](const ScriptedPeer::Packet& packet) { return device.Answer(packet); });
        session.SetDeviceStream(peer.SessionStream());
        peer.TakePackets();
    }
    ~PrmTestSession() {
        delete window;
        session.SetDeviceStream(nullptr);
    }

    // Opens the page named "Group/Leaf" (the previous one goes) and returns it.
    KdPrmView* open(const char* name, QSize size = {420, 400}) {
        return open(CKdPageCatalogue::FindPage(name), size);
    }
    KdPrmView* open(const CKdPageCatalogue::_SPage* catalogued, QSize size = {420, 400}) {
        delete window;
        window = new QWidget;
        scroll = new QScrollArea(window);
        scroll->resize(size);
        page = new KdPrmView(catalogued);
        page->setPrmManager(&session);
        waitForReading(); // before the window shows, so that it is not yet active after
        scroll->setWidget(page);
        window->resize(size);
        window->show();
        peer.TakePackets(); // the page's requests
        return page;
    }

    // Services the session, as the window's timer does, until the page's reading has ended.
    bool waitForReading() {
        return QTest::qWaitFor(
            [this] {
                session.Service();
                return !page->isReading();
            },
            5000);
    }

    // The row titled label on the open page.
    KdPrmCellView* row(const QString& label) const {
        for (KdPrmCellView* cell : page->findChildren<KdPrmCellView*>())
            if (cell->title() == label) return cell;
        return nullptr;
    }

    // The packets sent since the last call. A marker packet sent last proves that nothing else
    // is still on its way.
    Wires sent() {
        session.SendExecPacket(1000, 0x5A);
        Wires wires = peer.WaitForPackets(1);
        while (wires.empty() || wires.back() != set(wires.back()[3], 1000, {0x5A}))
            wires = peer.WaitForPackets(wires.size() + 1);
        peer.TakePackets();
        wires.pop_back();
        return wires;
    }

    // A set command for id with its value bytes, under the sequence number it travelled with.
    static Bytes set(int sequence, long id, const Bytes& value) {
        Bytes data = {uint8_t(id), uint8_t(id >> 8)};
        data.insert(data.end(), value.begin(), value.end());
        return ScriptedPeer::Response(0x20, sequence, data);
    }
    // What sent() must hold for exactly one set of id to value.
    static Wires oneSet(const Wires& sent, long id, const Bytes& value) {
        return {set(sent.empty() ? 0 : sent.front()[3], id, value)};
    }

    ScriptedPeer peer;
    ScriptedPeer::Device device;
    CKdPrmManager session;
    QWidget* window = nullptr;
    QScrollArea* scroll = nullptr;
    KdPrmView* page = nullptr;
};

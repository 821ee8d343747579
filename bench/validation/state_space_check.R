# Independent check of the state-space estimator with R's TMB (Debian:
# r-cran-tmb) and the template bench/validation/state_space.cpp.
#
# 1. The check series (the two examples and a simulated one): every kind is
#    fitted by TMB (nlminb from several starts of its own, then Newton steps
#    on the exact gradient and the Hessian of optimHess), the objective, θ
#    and the standard errors of sdreport (ln MSY, ln B_{n+1}/BMSY and
#    ln F_n/FMSY through the random effects) are printed beside the
#    program's, with their relative differences.
# 2. The coverage series: TMB's 90 % intervals of MSY and B_{n+1}/BMSY on the
#    same series, without and with the stated prior on σ_p, beside the
#    program's counts.
#
# Run from the repository root after build/bench/state_space_coverage DIR:
#   Rscript bench/validation/state_space_check.R DIR
# (compiles the template into DIR the first time, about a minute).

suppressMessages(library(TMB))
args <- commandArgs(trailingOnly = TRUE)
dir <- if (length(args) > 0) args[1] else "state_space_check"
template <- file.path(dir, "state_space.cpp")
file.copy("bench/validation/state_space.cpp", template, overwrite = TRUE)
lib <- file.path(dir, "state_space")
if (!file.exists(dynlib(lib))) compile(template)
dyn.load(dynlib(lib))

kinds <- c(schaefer = 0L, fox = 1L, pella_tomlinson = 2L)

make_obj <- function(d, kind, prior, par) {
  map <- list(logphi = factor(NA))
  if (kind != 2L) map$logp <- factor(NA)
  MakeADFun(
    data = list(C = d$C, logI = log(d$I), kind = kind, sigmaPPrior = as.integer(prior),
                priorMean = log(0.1), priorSd = 1),
    parameters = par, map = map, random = "u", DLL = "state_space", silent = TRUE)
}

# Starts of its own: r and K from a small grid, q from the mean CPUE, three
# splits of a total σ of 0.2; the best end, then Newton steps.
fit_tmb <- function(d, kind, prior = FALSE, quick = FALSE) {
  n <- length(d$C)
  top <- max(d$C)
  best <- NULL
  rs <- if (quick) c(0.3) else c(0.2, 0.6)
  ks <- if (quick) c(5) else c(3, 10)
  for (r in rs) for (k in ks) for (ratio in c(0.1, 1, 3)) {
    K <- k * top
    so <- 0.2 / sqrt(1 + ratio^2)
    par <- list(logr = log(r), logK = log(K), logq = mean(log(d$I)) - log(K) - log(0.6),
                logsdp = log(ratio * so), logsdo = log(so), logp = 0, logphi = 0,
                u = rep(log(0.6), n + 1))
    obj <- make_obj(d, kind, prior, par)
    o <- try(nlminb(obj$par, obj$fn, obj$gr,
                    control = list(eval.max = 2000, iter.max = 1000, rel.tol = 1e-14)),
             silent = TRUE)
    if (inherits(o, "try-error") || !is.finite(o$objective)) next
    if (is.null(best) || o$objective < best$o$objective) best <- list(obj = obj, o = o)
  }
  obj <- best$obj
  p <- best$o$par
  for (i in 1:5) {
    g <- obj$gr(p)
    if (max(abs(g)) < 1e-10) break
    h <- optimHess(p, obj$fn, obj$gr)
    step <- try(solve(h, as.numeric(g)), silent = TRUE)
    if (inherits(step, "try-error")) break
    q <- p - step
    if (!is.finite(obj$fn(q)) || obj$fn(q) > obj$fn(p) + 1e-12) break
    p <- q
  }
  value <- obj$fn(p)
  sd <- sdreport(obj, par.fixed = p)
  list(value = value, par = p, sd = sd, gradient = max(abs(obj$gr(p))))
}

read_series <- function(path) read.csv(path)

cat("Independent check: TMB against the program (relative differences)\n")
fits <- read.csv(file.path(dir, "check_fits.csv"), stringsAsFactors = FALSE)
for (i in seq_len(nrow(fits))) {
  row <- fits[i, ]
  d <- read_series(file.path(dir, paste0("check_", row$series, ".csv")))
  kind <- kinds[[row$kind]]
  started <- proc.time()[["elapsed"]]
  f <- fit_tmb(d, kind)
  seconds <- proc.time()[["elapsed"]] - started
  s <- summary(f$sd)
  fixed <- s[rownames(s) %in% c("logr", "logK", "logq", "logsdp", "logsdo", "logp"), , drop = FALSE]
  names <- c("logr", "logK", "logq", "logsdp", "logsdo", if (kind == 2L) "logp")
  theta <- fixed[names, 1]
  se <- fixed[names, 2]
  rep <- s[rownames(s) %in% c("logMsy", "logBnextBmsy", "logFlastFmsy"), , drop = FALSE]
  prog_theta <- unlist(row[names])
  prog_se <- unlist(row[paste0("se_", names)])
  prog_rep <- unlist(row[c("se_logMsy", "se_logBnextBmsy", "se_logFlastFmsy")])
  cat(sprintf("\n%s, %s  (TMB %.2f s for all starts, program %.1f ms)\n", row$series, row$kind,
              seconds, row$milliseconds))
  cat(sprintf("  objective  TMB %.10g  program %.10g  rel %.1e\n", f$value, row$objective,
              abs(f$value - row$objective) / abs(f$value)))
  cat(sprintf("  max |grad| TMB %.1e  program %.1e\n", f$gradient, row$max_gradient))
  for (j in seq_along(names)) {
    cat(sprintf("  %-7s TMB %12.8f  program %12.8f  |diff| %.1e   SE TMB %.6f program %.6f rel %.1e\n",
                names[j], theta[j], prog_theta[j], abs(theta[j] - prog_theta[j]), se[j],
                prog_se[j], abs(se[j] - prog_se[j]) / se[j]))
  }
  # The joint covariance of (ln r, ln K, u_n, u_{n+1}), the last block of
  # sdreport's covariance of the reported quantities.
  jc <- f$sd$cov
  m <- nrow(jc)
  tmb_joint <- c(jc[m - 3, m], jc[m - 2, m], jc[m - 1, m], jc[m, m])
  prog_joint <- unlist(row[c("cov_logr_unext", "cov_logK_unext", "cov_ulast_unext", "var_unext")])
  for (j in 1:4) {
    nm <- c("cov(ln r,u_n+1)", "cov(ln K,u_n+1)", "cov(u_n,u_n+1)", "var(u_n+1)")[j]
    cat(sprintf("  %-16s TMB %.6g program %.6g rel %.1e\n", nm, tmb_joint[j], prog_joint[j],
                abs(tmb_joint[j] - prog_joint[j]) / abs(tmb_joint[j])))
  }
  for (j in 1:3) {
    nm <- c("logMsy", "logBnextBmsy", "logFlastFmsy")[j]
    cat(sprintf("  SE %-13s TMB %.6f program %.6f rel %.1e\n", nm, rep[nm, 2], prog_rep[j],
                abs(rep[nm, 2] - prog_rep[j]) / rep[nm, 2]))
  }
}

cat("\nCoverage of the 90 % intervals (Schaefer, TMB on the same series)\n")
prog <- read.csv(file.path(dir, "coverage_fits.csv"))
z <- qnorm(0.95)
truth_msy <- 0.4 * 1000 / 4
cat(sprintf("%-6s %-8s %-9s %10s %18s\n", "σ_p", "prior", "", "MSY held", "B_{n+1}/BMSY held"))
for (sp in sort(unique(prog$sigma_p))) {
  for (prior in c(0, 1)) {
    rows <- prog[prog$sigma_p == sp & prog$prior == prior, ]
    held_msy <- 0
    held_bb <- 0
    for (k in seq_len(nrow(rows))) {
      d <- read_series(file.path(dir, sprintf("coverage_%.2f_%d.csv", sp, rows$series[k])))
      f <- try(fit_tmb(d, 0L, prior == 1, quick = TRUE), silent = TRUE)
      if (inherits(f, "try-error")) next
      s <- summary(f$sd)
      m <- s["logMsy", ]
      b <- s["logBnextBmsy", ]
      if (is.finite(m[2]) && abs(m[1] - log(truth_msy)) <= z * m[2]) held_msy <- held_msy + 1
      if (is.finite(b[2]) && abs(b[1] - log(rows$bb_truth[k])) <= z * b[2]) held_bb <- held_bb + 1
    }
    prog_msy <- sum(rows$msy_low <= truth_msy & truth_msy <= rows$msy_high)
    prog_bb <- sum(rows$bb_low <= rows$bb_truth & rows$bb_truth <= rows$bb_high)
    cat(sprintf("%-6.2f %-8s TMB      %5d/%d %14d/%d\n", sp, if (prior) "ln0.1±1" else "none",
                held_msy, nrow(rows), held_bb, nrow(rows)))
    cat(sprintf("%-6s %-8s program  %5d/%d %14d/%d\n", "", "", prog_msy, nrow(rows), prog_bb,
                nrow(rows)))
  }
}

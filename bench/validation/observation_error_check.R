# Independent check of the observation-error estimator (Schaefer, B1 = K):
# R's optim from the best point of a log grid, on the two example series.
# Prints r, K, q and RSS with 10 significant digits; the core tests hold
# these numbers (tests/core/estimation/observation_error_test.cpp).
#
# Run from the repository root: Rscript bench/validation/observation_error_check.R

read_series <- function(path) {
  # 23 description lines, then year, U, E, C separated by TABs.
  d <- read.table(path, skip = 23, sep = "\t", col.names = c("year", "U", "E", "C"))
  d[order(d$year), ]
}

# B[1] = K, B[t+1] = B[t] + r*B[t]*(1 - B[t]/K) - C[t]; NULL when the
# biomass falls to 1e-6*K or below.
biomass <- function(r, K, C) {
  n <- length(C)
  B <- numeric(n)
  B[1] <- K
  for (t in seq_len(n - 1)) {
    B[t + 1] <- B[t] + r * B[t] * (1 - B[t] / K) - C[t]
    if (!is.finite(B[t + 1]) || B[t + 1] < 1e-6 * K) return(NULL)
  }
  B
}

# Sum of squared log residuals with q at its closed form.
rss <- function(theta, d) {
  B <- biomass(exp(theta[1]), exp(theta[2]), d$C)
  if (is.null(B)) return(1e12)
  e <- log(d$U) - log(B)
  sum((e - mean(e))^2)
}

fit <- function(path) {
  d <- read_series(path)
  top <- max(d$C)
  grid <- expand.grid(lr = seq(log(1e-3), log(2), length.out = 60),
                      lk = seq(log(top), log(100 * top), length.out = 60))
  values <- apply(grid, 1, rss, d = d)
  start <- unlist(grid[which.min(values), ])
  o <- optim(start, rss, d = d, method = "Nelder-Mead",
             control = list(reltol = 1e-14, maxit = 20000))
  o <- optim(o$par, rss, d = d, method = "BFGS",
             control = list(reltol = 1e-16, maxit = 10000, ndeps = c(1e-6, 1e-6)))
  o <- optim(o$par, rss, d = d, method = "Nelder-Mead",
             control = list(reltol = 1e-16, maxit = 20000))
  r <- exp(o$par[1])
  K <- exp(o$par[2])
  B <- biomass(r, K, d$C)
  q <- exp(mean(log(d$U) - log(B)))
  cat(basename(path), "\n")
  cat(sprintf("  r   = %.10g\n  K   = %.10g\n  q   = %.10g\n  RSS = %.10g\n", r, K, q, o$value))
}

fit("examples/yellowfin_epo_1934_1955.txt")
fit("examples/schaefer_simulated_1990_2019.txt")
